#pragma once
// The last picture a canvas decoded, kept with its encoded bytes: a band that prints the
// same picture on every row has it decoded once while it repeats.
#include <string>
#include <string_view>

#include <QImage>

namespace lgoty::render {

class DecodedPicture {
 public:
  // The decoded image of the encoded bytes; a null image when they are not a picture.
  const QImage& Get(std::string_view image) {
    if (image != bytes_) {
      bytes_.assign(image);
      image_ = QImage::fromData(reinterpret_cast<const uchar*>(image.data()),
                                static_cast<int>(image.size()));
    }
    return image_;
  }

  // The picture's size in pixels; false when the bytes are not a picture.
  bool Size(std::string_view image, double& width, double& height) {
    const QImage& decoded = Get(image);
    if (decoded.isNull()) return false;
    width = decoded.width();
    height = decoded.height();
    return true;
  }

 private:
  std::string bytes_;
  QImage image_;
};

}  // namespace lgoty::render
