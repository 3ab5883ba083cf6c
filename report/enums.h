// Enumerations and sets of the report object model, with the element names that templates
// and scripts use. Each C++ enum's ordinals follow its EnumInfo's name order.
#pragma once

#include <cstdint>

#include "core/rtti.h"

namespace lgoty::report {

enum class TfrxAlign { baNone, baLeft, baRight, baCenter, baWidth, baBottom, baClient };
enum class TfrxShiftMode { smDontShift, smAlways, smWhenOverlapped };
enum class TfrxStretchMode { smDontStretch, smActualHeight, smMaxHeight };
enum class TfrxHAlign { haLeft, haRight, haCenter, haBlock };
enum class TfrxVAlign { vaTop, vaBottom, vaCenter };
enum class TfrxFrameStyle { fsSolid, fsDash, fsDot, fsDashDot, fsDashDotDot, fsDouble, fsAltDot,
                            fsSquare };
enum class TfrxFormatKind { fkText, fkNumeric, fkDateTime, fkBoolean };
enum class TfrxFillType { ftBrush, ftGradient, ftGlass };
enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal,
                         bsCross, bsDiagCross };
enum class TfrxGradientStyle { gsHorizontal, gsVertical, gsElliptic, gsRectangle, gsVertCenter,
                               gsHorizCenter };
enum class TfrxFillOrientation { foVertical, foHorizontal, foVerticalMirror, foHorizontalMirror };
enum class TfrxHyperlinkKind { hkURL, hkAnchor, hkPageNumber, hkDetailReport, hkDetailPage,
                               hkCustom };
enum class TfrxShapeKind { skRectangle, skRoundRectangle, skEllipse, skTriangle, skDiamond,
                           skDiagonal1, skDiagonal2 };
enum class TPrinterOrientation { poPortrait, poLandscape };
enum class TfrxDuplexMode { dmNone, dmVertical, dmHorizontal, dmSimplex };
enum class TfrxSilentMode { simMessageBoxes, simSilent, simReThrow };
enum class TfrxZoomMode { zmDefault, zmWholePage, zmPageWidth, zmManyPages };
enum class TfrxPrintMode { pmDefault, pmSplit, pmJoin, pmScale };
enum class TfrxPrintPages { ppAll, ppOdd, ppEven };
enum class TfrxRangeBegin { rbFirst, rbCurrent };
enum class TfrxRangeEnd { reLast, reCurrent, reCount };
enum class TADOLockType { ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic,
                          ltBatchOptimistic };
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow,
                              bsSizeToolWin };
enum class TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly,
                       poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TLeftRight { taLeftJustify, taRightJustify };
enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed,
                            csOwnerDrawVariable };
enum class TDTDateFormat { dfShort, dfLong };
enum class TDateTimeKind { dtkDate, dtkTime };
enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine,
                         bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };
enum class TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort,
                         bkRetry, bkIgnore, bkAll };
enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum class TFontPitch { fpDefault, fpVariable, fpFixed };

// Set element bits.
namespace frame_typ {
inline constexpr uint32_t ftLeft = 1, ftRight = 2, ftTop = 4, ftBottom = 8, kAll = 15;
}
namespace font_style {
inline constexpr uint32_t fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;
}
namespace visibility {
inline constexpr uint32_t vsPreview = 1, vsExport = 2, vsPrint = 4, kAll = 7;
}

struct ReportEnums {
  core::EnumInfo align, shift_mode, stretch_mode, halign, valign, frame_style, frame_type,
      format_kind, fill_type, brush_style, gradient_style, fill_orientation, hyperlink_kind,
      shape_kind, orientation, duplex, silent_mode, zoom_mode, print_mode, print_pages,
      preview_button, restriction, visibility, range_begin, range_end, lock_type, border_style,
      position, window_state, alignment, left_right, check_state, scroll_style, combo_style,
      date_format, date_kind, bevel_cut, bevel_shape, bevel_style, bitbtn_kind, button_layout,
      font_style, font_pitch, field_type;
};
const ReportEnums& Enums();

}  // namespace lgoty::report
