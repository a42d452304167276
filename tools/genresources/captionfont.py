#!/usr/bin/env python3
"""Cuts the Chinese captions' glyphs out of the system's CJK font.

The title strip's six captions are the only Chinese text the main window
shows before the user does anything. Drawn through the system font they make
the program map and touch several megabytes of a large CJK font file; a font
holding just these glyphs, compiled in, draws the same outlines from a few
kilobytes. Text outside this set (menus, tool tips, messages) still falls back
to the system font, which is then loaded when it is first needed.

    captionfont.py OUT.ttf [SOURCE_FONT]

SOURCE_FONT defaults to fontconfig's choice for simplified Chinese. Needs
python3-fonttools. The output is committed; rerun this when a caption changes.
"""
import subprocess
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

# Every character of the title strip's captions (打开 播放 停止 放大 缩小 全屏).
CAPTIONS = "打开播放停止放大缩小全屏"
FAMILY = "Vantrel Captions"

# The captions are drawn with light hinting, which FreeType does with its
# automatic hinter. For a Chinese font that hinter measures the font's top and
# bottom zones and its stem width on these characters (and 田), so the cut
# keeps them: without them the same glyphs would be hinted to other rows.
AUTOHINT_REFERENCE = (
    "他们你來們到和地对對就席我时時會来為能舰說说这這齊"
    "军同已愿既星是景民照现現理用置要軍那配里開雷露面顾"
    "个为人他以们你來個們到和大对對就我时時有来為要說说"
    "主些因它想意理生當看着置者自著裡过还进進過道還里面"
    "田")


def system_cjk_font():
    out = subprocess.run(["fc-match", "-f", "%{file}\n%{index}", ":lang=zh-cn"],
                         check=True, capture_output=True, text=True).stdout.split("\n")
    return out[0], int(out[1] or 0)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    source, index = (sys.argv[2], 0) if len(sys.argv) > 2 else system_cjk_font()

    font = TTFont(source, fontNumber=index)
    options = subset.Options()
    options.layout_features = ["*"]
    options.name_IDs = ["*"]
    options.notdef_outline = True
    options.hinting = True
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=CAPTIONS + AUTOHINT_REFERENCE)
    subsetter.subset(font)

    # A family of its own, so that the font database never confuses the cut
    # with the whole font it came from.
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 4, 16, 17, 18, 21, 22):
            names.removeNames(nameID=record.nameID)
    for nid, text in ((1, FAMILY), (2, "Regular"), (4, FAMILY), (6, FAMILY.replace(" ", "-"))):
        names.setName(text, nid, 3, 1, 0x409)
        names.setName(text, nid, 1, 0, 0)
    font.save(out)
    missing = [c for c in CAPTIONS if ord(c) not in font.getBestCmap()]
    if missing:
        sys.exit("captionfont: the source font lacks " + "".join(missing))


if __name__ == "__main__":
    main()
