#!/usr/bin/env python3
"""Writes samples/sample.rtf: a short transcription with pages, recto and
verso folios, glyphs with metafile pictures and footnotes, in code page 1252.

The pictures are the Windows metafiles under tests/ui/fixtures (written by
LibreOffice Draw from the SVG drawings beside them), embedded as a word
processor does: without their placeable header, with their natural size in
twips ("picwgoal", "pichgoal")."""
import os
import struct

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
fixtures = os.path.join(root, "tests", "ui", "fixtures")

PAGE, RECTO, VERSO, GLYPH = "\\'b1", "\\'f2", "\\'be", "\\'ad"


def pict(name):
    data = open(os.path.join(fixtures, name), "rb").read()
    left, top, right, bottom, upi = struct.unpack("<hhhhH", data[6:16])
    body = data[22:]  # without the placeable header
    w, h = right - left, bottom - top
    goal_w, goal_h = w * 1440 // upi, h * 1440 // upi
    hexdata = body.hex()
    lines = "\n".join(hexdata[i:i + 128] for i in range(0, len(hexdata), 128))
    return ("{\\pict\\wmetafile8\\picw%d\\pich%d\\picwgoal%d\\pichgoal%d\n%s}"
            % (w * 2540 // upi, h * 2540 // upi, goal_w, goal_h, lines))


def note(text):
    return "{\\super\\chftn}{\\footnote\\pard\\plain\\fs20 {\\super\\chftn} %s}" % text


def esc(text):
    out = []
    for ch in text:
        b = ch.encode("cp1252")[0]
        if b >= 0x80:
            out.append("\\'%02x" % b)
        elif ch in "\\{}":
            out.append("\\" + ch)
        else:
            out.append(ch)
    return "".join(out)


body = [
    "{\\rtf1\\ansi\\ansicpg1252\\deff0",
    "{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}{\\f1\\fswiss\\fcharset0 Arial;}}",
    "{\\colortbl;\\red0\\green0\\blue0;\\red128\\green0\\blue0;}",
    "{\\info{\\title Livre des merveilles (extrait)}{\\author Kalix}}",
    "\\paperw11906\\paperh16838\\margl1134\\margr1134",
    "\\pard\\plain\\f0\\fs24",
    # Page 1, folio 1 recto.
    PAGE + RECTO + " " + esc("Cy commence le livre des merveilles du monde, "
                              "lequel fut escript en l'an de grace mil trois cens."),
    note(esc("Le copiste \u00e9crit \u00ab grace \u00bb sans accent.")),
    "\\par",
    esc("Au commencement est la lettre ornee ") + GLYPH + pict("glyph_letter.wmf") +
    esc(" que le peintre a faite de vert et de noir."),
    "\\par",
    esc("Et premierement nous dirons des regions de la mer et des isles "
        "qui sont par dela, ou l'on trouve l'estoile.") + note(esc("Lecture incertaine : \u00ab isles \u00bb ou \u00ab illes \u00bb.")),
    "\\par",
    # Page 1, folio 1 verso.
    VERSO + " " + esc("Et en ceste isle a une estoile que les mariniers regardent ")
    + GLYPH + pict("glyph_star.wmf") + esc(" pour leur chemin tenir."),
    "\\line",
    esc("Item, une autre maniere de gens qui vivent de poisson."),
    "\\par",
    # Page 2, folio 2 recto.
    PAGE + RECTO + " " + esc("Ci apres parle du royaume de Cathay et de la grant cite "
                              "ou demeure le seigneur."),
    "\\par",
    esc("Le noeud que voici ") + GLYPH + pict("glyph_knot.wmf") +
    esc(" est la marque du scribe, en la marge de dessous."),
    note(esc("Marque en marge, \u00e0 l'encre violette.")),
    "\\par",
    # Page 3, folio 2 verso.
    PAGE + VERSO + " " + esc("Explicit. Priez pour celui qui l'escript.") + " " + GLYPH + pict("glyph_bitmap.wmf"),
    note(esc("Souscription du copiste.")),
    note(esc("Seconde note de la m\u00eame page.")),
    "\\par",
    "}",
]
with open(os.path.join(root, "samples", "sample.rtf"), "w", newline="\r\n", encoding="ascii") as f:
    f.write("\n".join(body) + "\n")
print("samples/sample.rtf written")
