#!/usr/bin/python3
"""The reference of bench_list_report: the list of beneficiaries built as a PDF with ReportLab.

    list_report_reportlab.py ROWS.tsv OUT.pdf

ROWS.tsv holds the printed rows (seven cells separated by tabs, as the list shows them) and a
last line "#summary<TAB>text". The list has the same A4 page, margins, columns, fonts, frames
and cell wrapping as the list template: a title on page 1, the column header on every page,
rows that grow when a cell wraps, the summary after the last row and "страница X из Y" at the
bottom of every page. As the report engine does, a first pass lays the rows out to learn the
page count and a second one draws. Prints "seconds S pages P": the time of both passes and
the writing of the file (reading the rows is left out).
"""
import sys
import time

from reportlab.lib.pagesizes import A4
from reportlab.lib.utils import simpleSplit
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas

FONTS = "/usr/share/fonts/truetype/liberation2/"
PX = 72.0 / 96.0  # report units (1/96 inch) to points
MM = 72.0 / 25.4

# Column widths of the template (report units) and the alignment of each row cell.
WIDTHS = [37.8, 98.27, 287.24, 98.27, 68.03, 71.81, 75.59]
ALIGN = ["c", "l", "l", "l", "c", "r", "r"]
HEADER = ["№ п.п.", "№ карточки", "Фамилия Имя Отчество", "Документ серия, №", None, None,
          "Сумма (руб.)"]
FONT_SIZE = 10
LINE = (83 / 6.25 + 2) * PX  # one line of Arial 10 at 96 dpi and the line spacing of 2
GAP_X, GAP_Y = 2 * PX, 1 * PX
ROW = 18.9 * PX
TITLE, HEAD, FOOT, SUMMARY = 45.35 * PX, 41.57 * PX, 22.68 * PX, 34.02 * PX
LEFT, TOP, BOTTOM = 10 * MM, 10 * MM, 10 * MM
PAGE_W, PAGE_H = A4


def cell_lines(text, width):
    # Lines break at the last blank that fits; a word longer than the line is cut before the
    # character that overflows (so "10234" in the number column takes two lines), as the
    # template's memos do.
    avail = width * PX - 2 * GAP_X
    lines = []
    for line in simpleSplit(text, "Sans", FONT_SIZE, avail) or [""]:
        while len(line) > 1 and pdfmetrics.stringWidth(line, "Sans", FONT_SIZE) > avail:
            cut = 1
            while pdfmetrics.stringWidth(line[:cut + 1], "Sans", FONT_SIZE) <= avail:
                cut += 1
            lines.append(line[:cut])
            line = line[cut:]
        lines.append(line)
    return lines


def layout(rows):
    """Pages as lists of (row, lines, height); the summary's page."""
    usable = PAGE_H - TOP - BOTTOM - FOOT
    pages, page, y = [], [], TITLE + HEAD
    for row in rows:
        lines = [cell_lines(text, w) for text, w in zip(row, WIDTHS)]
        # The lines, the gaps above and below and half the frame, in whole pixels.
        height = max(ROW, round(max(len(l) for l in lines) * LINE / PX + 2.5) * PX)
        if y + height > usable and page:
            pages.append(page)
            page, y = [], HEAD
        page.append((row, lines, height))
        y += height
    if y + SUMMARY > usable:
        pages.append(page)
        page = []
    pages.append(page)
    return pages


def text_in(c, lines, x, top, width, align, font="Sans"):
    c.setFont(font, FONT_SIZE)
    for i, line in enumerate(lines):
        base = PAGE_H - (top + GAP_Y + i * LINE + LINE * 0.8)
        if align == "l":
            c.drawString(x + GAP_X, base, line)
        elif align == "r":
            c.drawRightString(x + width - GAP_X, base, line)
        else:
            c.drawCentredString(x + width / 2, base, line)


def frame(c, x, top, width, height):
    c.rect(x, PAGE_H - top - height, width, height, stroke=1, fill=0)


def draw_header(c, top):
    x = LEFT
    for i, (title, w) in enumerate(zip(HEADER, WIDTHS)):
        w *= PX
        if i == 4:  # the prescription: "Рецепт" over "№" and "Дата"
            both = w + WIDTHS[5] * PX
            frame(c, x, top, both, 18.9 * PX)
            text_in(c, ["Рецепт"], x, top, both, "c", "SansBold")
            frame(c, x, top + 22.68 * PX, w, 18.9 * PX)
            text_in(c, ["№"], x, top + 22.68 * PX, w, "c", "SansBold")
        elif i == 5:
            frame(c, x, top + 22.68 * PX, w, 18.9 * PX)
            text_in(c, ["Дата"], x, top + 22.68 * PX, w, "c", "SansBold")
        else:
            frame(c, x, top, w, 37.8 * PX)
            text_in(c, simpleSplit(title, "SansBold", FONT_SIZE, w - 2 * GAP_X), x, top, w,
                    "c", "SansBold")
        x += w


def draw(pages, summary, path):
    c = canvas.Canvas(path, pagesize=A4)
    c.setLineWidth(PX)
    total = len(pages)
    for number, page in enumerate(pages, 1):
        y = TOP
        if number == 1:
            c.setFont("SansBold", FONT_SIZE)
            c.drawString(LEFT + 7.56 * PX, PAGE_H - y - 3.78 * PX - LINE * 0.8,
                         "Список льготников по услуге: лекарства")
            y += TITLE
        draw_header(c, y)
        y += HEAD
        for row, lines, height in page:
            x = LEFT
            for text_lines, w, align in zip(lines, WIDTHS, ALIGN):
                w *= PX
                frame(c, x, y, w, height)
                text_in(c, text_lines, x, y, w, align)
                x += w
            y += height
        if number == total:
            c.setFont("SansBold", FONT_SIZE)
            c.drawString(LEFT + 15.12 * PX, PAGE_H - y - 11.34 * PX - LINE * 0.8, summary)
        c.setFont("Sans", FONT_SIZE)
        c.drawRightString(LEFT + (506.46 + 222.99 - 2) * PX,
                          BOTTOM + FOOT - LINE * 0.8 - GAP_Y, f"страница {number} из {total}")
        c.showPage()
    c.save()


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    rows, summary = [], ""
    with open(sys.argv[1], encoding="utf-8") as f:
        for line in f:
            cells = line.rstrip("\n").split("\t")
            if cells[0] == "#summary":
                summary = cells[1] if len(cells) > 1 else ""
            else:
                rows.append((cells + [""] * 7)[:7])
    pdfmetrics.registerFont(TTFont("Sans", FONTS + "LiberationSans-Regular.ttf"))
    pdfmetrics.registerFont(TTFont("SansBold", FONTS + "LiberationSans-Bold.ttf"))
    start = time.perf_counter()
    pages = layout(rows)
    draw(pages, summary, sys.argv[2])
    print(f"seconds {time.perf_counter() - start:.3f} pages {len(pages)}")


if __name__ == "__main__":
    main()
