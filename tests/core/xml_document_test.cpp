#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exception.h"
#include "core/locale.h"
#include "core/xml_document.h"
#include "core/xml_io.h"

namespace lgoty::core {
namespace {

std::string Save(TfrxXMLDocument& doc) {
  TMemoryStream stream;
  doc.SaveToStream(stream);
  return stream.Bytes();
}

void Load(TfrxXMLDocument& doc, std::string bytes, bool swap = false) {
  TMemoryStream stream(std::move(bytes));
  doc.LoadFromStream(stream, swap);
}

TEST(XmlEscape, ShortValueKeepsLoneAmpersandAndReadsBack) {
  EXPECT_EQ(StrToXML("a & b"), "a & b");
  EXPECT_EQ(XMLToStr(StrToXML("a & b")), "a & b");
  EXPECT_EQ(StrToXML("<\">"), "&#60;&#34;&#62;");
  EXPECT_EQ(StrToXML(std::string("a\0b", 3)), "a&#0;b");
  EXPECT_EQ(StrToXML("x\r\ny"), "x&#13;&#10;y");
  EXPECT_EQ(StrToXML("it's \xC0"), "it's \xC0");
}

TEST(XmlEscape, LongValueEscapesAmpersandAndReadsBackExactly) {
  std::string value = "select * from t where a < 5 & b > \"x\" and c = 'y' -- long";
  ASSERT_GE(value.size(), 32u);
  std::string escaped = StrToXML(value);
  EXPECT_EQ(escaped.find('<'), std::string::npos);
  EXPECT_EQ(escaped.find('"'), std::string::npos);
  EXPECT_NE(escaped.find("&#38;"), std::string::npos);
  EXPECT_EQ(XMLToStr(escaped), value);
  // A zero byte becomes a blank on the long path.
  std::string with_zero = std::string(40, 'a') + std::string(1, '\0');
  EXPECT_EQ(StrToXML(with_zero), std::string(40, 'a') + " ");
}

TEST(XmlEscape, GrowsBufferForManySpecialCharacters) {
  std::string value(2000, '<');
  std::string escaped = StrToXML(value);
  EXPECT_EQ(escaped.size(), 2000u * 5);
  EXPECT_EQ(XMLToStr(escaped), value);
}

TEST(XmlEscape, LiteralQuotEntityReadsBackAsOneQuote) {
  EXPECT_EQ(StrToXML("say &quot;hi&quot;"), "say &#34;hi&#34;");
  EXPECT_EQ(XMLToStr(StrToXML("say &quot;hi&quot;")), "say \"hi\"");
  std::string long_value = "a long value that says &quot;quoted&quot; words";
  EXPECT_EQ(XMLToStr(StrToXML(long_value)), "a long value that says \"quoted\" words");
}

TEST(XmlEscape, UnescapeEntitiesAndOddCases) {
  EXPECT_EQ(XMLToStr("&lt;&gt;&amp;&quot;&#65;&#1;"), "<>&\"A\x01");
  EXPECT_EQ(XMLToStr("&apos;"), "&apos;");
  EXPECT_EQ(XMLToStr("a&"), "a&");
  EXPECT_EQ(XMLToStr("&#12"), "&#12");  // no ';': not read past the end
  EXPECT_EQ(XMLToStr("&#300;"), "?");
  EXPECT_THROW(XMLToStr("&#x41;"), EConvertError);
}

TEST(XmlItem, AttributesReadWriteInPlace) {
  TfrxXMLItem item;
  item.SetText("Name=\"Memo1\" Left=\"10\"");
  EXPECT_EQ(item.Attribute("left"), "10");
  EXPECT_EQ(item.Attribute("Top"), "");
  item.SetAttribute("Left", "20");
  EXPECT_EQ(item.Text(), "Name=\"Memo1\" Left=\"20\"");
  item.SetAttribute("Name", "A<B");
  EXPECT_EQ(item.Text(), "Name=\"A&#60;B\" Left=\"20\"");
  EXPECT_EQ(item.Attribute("Name"), "A<B");
  item.SetAttribute("Top", "5");
  EXPECT_EQ(item.Text(), "Name=\"A&#60;B\" Left=\"20\" Top=\"5\"");
  // "Left" is not found inside "OffLeft".
  TfrxXMLItem other;
  other.SetText("OffLeft=\"1\"");
  EXPECT_EQ(other.Attribute("Left"), "");
}

TEST(XmlItem, ChildrenAddMoveFindAndFree) {
  TfrxXMLItem a, b;
  TfrxXMLItem* x = a.Add();
  x->SetName("Child");
  a.Add()->SetName("Other");
  EXPECT_EQ(a.Find("child"), 0);
  EXPECT_EQ(a.Find("none"), -1);
  EXPECT_EQ(a.FindItem("Other"), a.Items(1));
  TfrxXMLItem* created = a.FindItem("New");
  EXPECT_EQ(a.Count(), 3);
  EXPECT_EQ(created->Parent(), &a);
  b.AddItem(x);
  EXPECT_EQ(a.Count(), 2);
  EXPECT_EQ(x->Parent(), &b);
  a.InsertItem(0, x);
  EXPECT_EQ(a.IndexOf(x), 0);
  EXPECT_EQ(b.Count(), 0);
  a.Delete(x);
  EXPECT_EQ(a.Count(), 2);
  // Moving an item into its own subtree, or a free item by pointer, is refused.
  TfrxXMLItem* outer = a.Items(0);
  TfrxXMLItem* inner = outer->Add();
  EXPECT_EQ(inner->AddItem(outer), nullptr);
  EXPECT_EQ(outer->Parent(), &a);
  TfrxXMLItem free_item;
  EXPECT_EQ(a.AddItem(&free_item), nullptr);
}

// FindRemembered against Find while children are renamed, added, moved and freed and the
// collation language changes ("cs" is one letter in Hungarian, so "ccs" and "cscs" meet).
TEST(XmlItem, RememberedFindAgreesWithFind) {
  const std::vector<std::string> names = {"pages", "PAGES", "Pages", "outline", "ccs", "cscs",
                                          "p\x01ages", "", "ё", "Ё"};
  const std::vector<std::string> asked = {"pages", "ccs", "ё", "missing"};
  uint32_t seed = 7;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  TfrxXMLItem root;
  std::vector<TfrxFoundChild> memos(asked.size());
  TfrxFoundChild mixed;
  for (int step = 0; step < 2000; ++step) {
    switch (next() % 6) {
      case 0: root.Add()->SetName(names[next() % names.size()]); break;
      case 1:
        if (root.Count() > 0) root.Items(static_cast<int>(next()) % root.Count())->SetName(names[next() % names.size()]);
        break;
      case 2:
        if (root.Count() > 0) root.Delete(root.Items(static_cast<int>(next()) % root.Count()));
        break;
      case 3:
        if (root.Count() > 1) root.InsertItem(0, root.Items(root.Count() - 1));
        break;
      case 4:
        if (next() % 8 == 0) SetCollationLanguage(next() % 2 == 0 ? "hu" : "ru");
        break;
      default: break;
    }
    for (size_t a = 0; a < asked.size(); ++a) {
      ASSERT_EQ(root.FindRemembered(asked[a], memos[a]), root.Find(asked[a]))
          << "step " << step << " asking " << asked[a] << " in " << CollationLanguage();
    }
    const std::string& any = asked[next() % asked.size()];  // one memo asked for several names
    ASSERT_EQ(root.FindRemembered(any, mixed), root.Find(any)) << "step " << step << " asking " << any;
  }
  SetCollationLanguage("ru");
}

TEST(XmlDocument, WritesHeaderIndentAndElementForms) {
  TfrxXMLDocument doc;
  doc.SetAutoIndent(true);
  TfrxXMLItem* root = doc.Root();
  root->SetName("TfrxReport");
  root->SetText("Version=\"5.2.3\"");
  TfrxXMLItem* page = root->Add();
  page->SetName("TfrxReportPage");
  page->SetText(" Name=\"Page1\"");
  page->Add()->SetName("TfrxMemoView");
  TfrxXMLItem* valued = root->Add();
  valued->SetName("Note");
  valued->SetValue("a<b");
  EXPECT_EQ(Save(doc),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
            "<TfrxReport Version=\"5.2.3\">\r\n"
            "  <TfrxReportPage Name=\"Page1\">\r\n"
            "    <TfrxMemoView/>\r\n"
            "  </TfrxReportPage>\r\n"
            "  <Note>a&#60;b</Note>\r\n"
            "</TfrxReport>\r\n");
  doc.SetAutoIndent(false);
  EXPECT_EQ(Save(doc),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><TfrxReport Version=\"5.2.3\">"
            "<TfrxReportPage Name=\"Page1\"><TfrxMemoView/></TfrxReportPage>"
            "<Note>a&#60;b</Note></TfrxReport>");
}

TEST(XmlDocument, ReadsEmptyElementFormsAndCaseInsensitiveEndTags) {
  TfrxXMLDocument doc;
  Load(doc,
       "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
       "<Root a=\"1\">\n"
       "  <A/>\n  <B />\n  <C x=\"1\"/>\n  <D x=\"2\" />\n"
       "  <E y=\"3\"><F/></e>\n"
       "  <G>ignored text</G >\n"
       "</ROOT>");
  TfrxXMLItem* root = doc.Root();
  EXPECT_EQ(root->Name(), "Root");
  EXPECT_EQ(root->Attribute("a"), "1");
  ASSERT_EQ(root->Count(), 6);
  EXPECT_EQ(root->Items(0)->Name(), "A");
  EXPECT_EQ(root->Items(1)->Name(), "B");
  EXPECT_EQ(root->Items(1)->Text(), "");
  EXPECT_EQ(root->Items(2)->Attribute("x"), "1");
  EXPECT_EQ(root->Items(3)->Attribute("x"), "2");
  EXPECT_EQ(root->Items(4)->Count(), 1);
  EXPECT_EQ(root->Items(5)->Value(), "");
}

TEST(XmlDocument, CommentsAreDropped) {
  TfrxXMLDocument doc;
  Load(doc,
       "<?xml version=\"1.0\"?><!-- a <comment> with -- dashes --><Root><!---->"
       "<X/><!-- -x- --></Root>");
  ASSERT_EQ(doc.Root()->Count(), 1);
  EXPECT_EQ(doc.Root()->Items(0)->Name(), "X");
}

TEST(XmlDocument, HeaderDecidesOldVersion) {
  TfrxXMLDocument doc;
  Load(doc, "<?xml version=\"1.0\" encoding=\"utf-8\"?><R/>");
  EXPECT_TRUE(doc.OldVersion());
  Load(doc, "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?><R/>");
  EXPECT_FALSE(doc.OldVersion());
  Load(doc, "<?xml version=\"1.1\"?><R/>");
  EXPECT_FALSE(doc.OldVersion());
}

TEST(XmlDocument, MalformedInputThrows) {
  const char* bad[] = {
      "<R/>",                                         // no header
      "<?xml version=\"1.0\"?><R><X></R>",            // mismatched end tag
      "<?xml version=\"1.0\"?><R><X/>",               // stream ends before the end tag
      "<?xml version=\"1.0\"?><R a=\"<\"/>",          // '<' inside a tag
      "<?xml version=\"1.0\"?><R a=\"1\"",            // stream ends inside a tag
      "<?xml version=\"1.0\"?><R><!-- open </R>",     // unterminated comment
      "<?xml version=\"1.0\"?></R>",                  // end tag as root
  };
  for (const char* text : bad) {
    TfrxXMLDocument doc;
    EXPECT_THROW(Load(doc, text), TfrxInvalidXMLException) << text;
  }
}

TEST(XmlDocument, DeepNestingIsRefused) {
  std::string text = "<?xml version=\"1.0\"?>";
  for (int i = 0; i < TfrxXMLReader::kMaxDepth + 5; ++i) text += "<a>";
  TfrxXMLDocument doc;
  EXPECT_THROW(Load(doc, text), TfrxInvalidXMLException);
}

TEST(XmlDocument, ReaderLeavesStreamAfterRoot) {
  std::string text = "<?xml version=\"1.0\"?><R><X/></R>TAIL";
  TMemoryStream stream(text);
  TfrxXMLDocument doc;
  doc.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(text.size() - 4));
}

TEST(XmlDocument, LargeDocumentRoundTripsThroughBuffers) {
  TfrxXMLDocument doc;
  doc.SetAutoIndent(true);
  doc.Root()->SetName("R");
  for (int i = 0; i < 3000; ++i) {
    TfrxXMLItem* item = doc.Root()->Add();
    item->SetName("I");
    item->SetAttribute("Text", "value " + std::to_string(i) + " with <special> & \"chars\"");
  }
  std::string saved = Save(doc);
  TfrxXMLDocument again;
  again.SetAutoIndent(true);
  Load(again, saved);
  ASSERT_EQ(again.Root()->Count(), 3000);
  EXPECT_EQ(again.Root()->Items(2999)->Attribute("Text"),
            "value 2999 with <special> & \"chars\"");
  EXPECT_EQ(Save(again), saved);
}

TEST(XmlDocument, UnloadableItemsSwapOutAndIn) {
  TfrxXMLDocument doc;
  doc.Root()->SetName("R");
  TfrxXMLItem* page = doc.Root()->Add();
  page->SetName("Page");
  page->SetText("N=\"1\"");
  page->SetUnloadable(true);
  page->Add()->SetName("Obj1");
  page->Add()->SetName("Obj2");
  doc.SwapOut(page);
  EXPECT_FALSE(page->Loaded());
  EXPECT_EQ(page->Count(), 0);
  // Writing a swapped-out item reads it back, writes it and drops it again.
  std::string saved = Save(doc);
  EXPECT_EQ(saved,
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><R><Page N=\"1\" ld=\"0\">"
            "<Obj1/><Obj2/></Page></R>");
  EXPECT_FALSE(page->Loaded());
  doc.SwapIn(page);
  EXPECT_TRUE(page->Loaded());
  ASSERT_EQ(page->Count(), 2);
  EXPECT_EQ(page->Items(1)->Name(), "Obj2");

  // Reading with swapping leaves marked items unloaded, with the source as temp stream.
  TMemoryStream source(saved);
  TfrxXMLDocument swapped;
  swapped.LoadFromStream(source, true);
  TfrxXMLItem* read_page = swapped.Root()->Items(0);
  EXPECT_TRUE(read_page->Unloadable());
  EXPECT_FALSE(read_page->Loaded());
  EXPECT_EQ(read_page->Text(), "N=\"1\"");
  swapped.SwapIn(read_page);
  EXPECT_EQ(read_page->Count(), 2);
  // Without swapping the mark is simply removed.
  TfrxXMLDocument plain;
  Load(plain, saved);
  EXPECT_TRUE(plain.Root()->Items(0)->Loaded());
  EXPECT_EQ(plain.Root()->Items(0)->Count(), 2);
}

}  // namespace
}  // namespace lgoty::core
