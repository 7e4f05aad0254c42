#!/usr/bin/python3
"""Draw every picture file of the Quillmere client into image/.

Run from anywhere:  /usr/bin/python3 tools/images/make_images.py [outdir]

Everything is drawn here with Pillow from simple shapes and the CJK fonts of
the system (Noto Sans CJK SC Bold for captions, AR PL UKai CN for the
calligraphic titles).  Shapes are drawn at SS times the final size and
reduced, so edges are smooth; small captions are drawn at the final size,
so they stay crisp.  GIF files are written in palette mode with one
transparent index outside their rounded tiles.
"""

import colorsys
import math
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "image")

SS = 4  # supersampling factor

SANS_BOLD = ("/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc", 2)   # Noto Sans CJK SC Bold
SANS_REG = ("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", 2)
SERIF_BOLD = ("/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc", 2)  # Noto Serif CJK SC Bold
KAI = ("/usr/share/fonts/truetype/arphic/ukai.ttc", 0)                    # AR PL UKai CN

# Colour of the shared background; half-transparent edge pixels of the GIF
# files are blended with it, so the tiles sit cleanly on the forms.
BG = (243, 247, 252)

_font_cache = {}


def font(spec, size):
    key = (spec, size)
    if key not in _font_cache:
        _font_cache[key] = ImageFont.truetype(spec[0], size, index=spec[1])
    return _font_cache[key]


# ---------------------------------------------------------------- colours

def hexc(s):
    s = s.lstrip("#")
    return tuple(int(s[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def brighter(c, t):
    """Raise the value of a colour, keeping (and slightly raising) its saturation."""
    h, s_, v = colorsys.rgb_to_hsv(*[x / 255 for x in c])
    r, g, b = colorsys.hsv_to_rgb(h, min(1, s_ * 1.05), min(1, v * (1 + t)))
    return (int(r * 255), int(g * 255), int(b * 255))


def lighter(c, t):
    return mix(c, (255, 255, 255), t)


def darker(c, t):
    return mix(c, (0, 0, 0), t)


def rgba(c, a=255):
    return (c[0], c[1], c[2], a)


# ---------------------------------------------------------------- helpers

def vgradient(size, top, bottom):
    """RGB image of the given size with a vertical gradient."""
    w, h = size
    col = Image.new("RGB", (1, h))
    for y in range(h):
        col.putpixel((0, y), mix(top, bottom, y / max(1, h - 1)))
    return col.resize((w, h))


def hgradient(size, left, right):
    w, h = size
    row = Image.new("RGB", (w, 1))
    for x in range(w):
        row.putpixel((x, 0), mix(left, right, x / max(1, w - 1)))
    return row.resize((w, h))


def rounded_mask(size, box, radius):
    m = Image.new("L", size, 0)
    ImageDraw.Draw(m).rounded_rectangle(box, radius=radius, fill=255)
    return m


def paint(canvas, mask, color, offset=(0, 0), alpha=255):
    """Paint a flat colour through an L mask onto an RGBA canvas."""
    layer = Image.new("RGBA", mask.size, rgba(color))
    if alpha != 255:
        mask = mask.point(lambda v: v * alpha // 255)
    layer.putalpha(mask)
    canvas.alpha_composite(layer, offset)


def text_size(fnt, text):
    l, t, r, b = fnt.getbbox(text)
    return r - l, b - t, l, t


def draw_text_center(draw, cx, cy, text, fnt, fill, stroke=0, stroke_fill=None):
    w, h, l, t = text_size(fnt, text)
    draw.text((cx - w / 2 - l, cy - h / 2 - t), text, font=fnt, fill=fill,
              stroke_width=stroke, stroke_fill=stroke_fill)


def to_gif(img_rgba, path, bg=BG):
    """Write an RGBA image as a palette GIF: pixels under half opacity become
    the transparent index, the others are blended with the background."""
    a = img_rgba.getchannel("A")
    base = Image.new("RGBA", img_rgba.size, rgba(bg))
    base.alpha_composite(img_rgba)
    rgb = base.convert("RGB")
    clear = a.point(lambda v: 255 if v < 128 else 0)
    has_clear = clear.getbbox() is not None
    pal = rgb.quantize(colors=255 if has_clear else 256, method=Image.Quantize.MEDIANCUT,
                       dither=Image.Dither.NONE)
    if has_clear:
        p = pal.getpalette()[:255 * 3]
        p += [bg[0], bg[1], bg[2]] * (256 - len(p) // 3)
        pal.putpalette(p)
        pal.paste(255, mask=clear)
        pal.save(path, transparency=255, optimize=False)
    else:
        pal.save(path)


# ---------------------------------------------------------------- glyphs
# Each glyph draws white shapes into an L mask of side n (supersampled).
# Coordinates are fractions of the side; 0 erases (cut-out lines).

class G:
    def __init__(self, n):
        self.n = n
        self.m = Image.new("L", (n, n), 0)
        self.d = ImageDraw.Draw(self.m)

    def p(self, *v):
        return [x * self.n for x in v]

    def pts(self, pts):
        return [(x * self.n, y * self.n) for x, y in pts]

    def ellipse(self, x0, y0, x1, y1, fill=255, width=0):
        if width:
            self.d.ellipse(self.p(x0, y0, x1, y1), outline=fill, width=max(1, int(width * self.n)))
        else:
            self.d.ellipse(self.p(x0, y0, x1, y1), fill=fill)

    def circle(self, cx, cy, r, fill=255, width=0):
        self.ellipse(cx - r, cy - r, cx + r, cy + r, fill, width)

    def rect(self, x0, y0, x1, y1, fill=255, r=0):
        if r:
            self.d.rounded_rectangle(self.p(x0, y0, x1, y1), radius=r * self.n, fill=fill)
        else:
            self.d.rectangle(self.p(x0, y0, x1, y1), fill=fill)

    def poly(self, pts, fill=255):
        self.d.polygon(self.pts(pts), fill=fill)

    def line(self, pts, w, fill=255, round_caps=True):
        self.d.line(self.pts(pts), fill=fill, width=max(1, int(w * self.n)), joint="curve")
        if round_caps:
            for x, y in (pts[0], pts[-1]):
                self.circle(x, y, w / 2, fill)

    def arc(self, x0, y0, x1, y1, start, end, w, fill=255):
        self.d.arc(self.p(x0, y0, x1, y1), start, end, fill=fill, width=max(1, int(w * self.n)))


def person(g, cx=0.5, top=0.12, s=1.0, collar=False, gap=0.035):
    """Head and shoulders; s scales around the head centre."""
    hr = 0.16 * s
    hy = top + hr
    # shoulders: upper part of an ellipse, cut flat at the bottom
    sw = 0.34 * s
    sy0 = hy + hr + 0.04 * s
    sy1 = sy0 + 0.55 * s
    bottom = sy0 + 0.36 * s
    g.ellipse(cx - sw, sy0, cx + sw, sy1)
    g.rect(cx - sw - 0.01, bottom, cx + sw + 0.01, sy1 + 0.01, fill=0)
    # gap between head and shoulders
    g.circle(cx, hy, hr + gap * s, fill=0)
    g.circle(cx, hy, hr)
    if collar:
        # open collar and a tie
        g.poly([(cx - 0.11 * s, sy0 + 0.005), (cx + 0.11 * s, sy0 + 0.005), (cx, sy0 + 0.16 * s)], fill=0)
        g.poly([(cx - 0.035 * s, sy0 + 0.03 * s), (cx + 0.035 * s, sy0 + 0.03 * s),
                (cx + 0.05 * s, sy0 + 0.24 * s), (cx, sy0 + 0.30 * s), (cx - 0.05 * s, sy0 + 0.24 * s)])
    return hy, hr


def mortarboard(g, cx, cy, s=1.0, gap=0.03):
    """A square academic cap seen slightly from the front, centred at cx, cy."""
    w, h = 0.36 * s, 0.11 * s
    board = [(cx - w, cy), (cx, cy - h), (cx + w, cy), (cx, cy + h)]
    # cap body under the board
    body = [(cx - 0.2 * s, cy + 0.02 * s), (cx + 0.2 * s, cy + 0.02 * s),
            (cx + 0.2 * s, cy + 0.16 * s), (cx - 0.2 * s, cy + 0.16 * s)]
    g.poly(body)
    g.ellipse(cx - 0.2 * s, cy + 0.10 * s, cx + 0.2 * s, cy + 0.22 * s)
    # dark outline around the board to separate it from the body
    g.poly([(x + (x - cx) * 0.12, y + (y - cy) * 0.35 + 0.0) for x, y in board], fill=0)
    g.poly(board)
    # tassel
    g.line([(cx, cy), (cx + 0.27 * s, cy + 0.05 * s), (cx + 0.27 * s, cy + 0.22 * s)], 0.025 * s)
    g.circle(cx + 0.27 * s, cy + 0.25 * s, 0.04 * s)


def glyph_student(g):
    person(g, top=0.20, s=0.95)
    mortarboard(g, 0.5, 0.17, s=0.78)


def glyph_teacher(g):
    # a teacher with collar and tie in front of a small blackboard
    g.rect(0.40, 0.04, 0.98, 0.56, r=0.04)
    g.rect(0.46, 0.10, 0.92, 0.50, fill=0, r=0.02)
    g.line([(0.62, 0.20), (0.84, 0.20)], 0.04)
    g.line([(0.66, 0.30), (0.84, 0.30)], 0.04)
    g.line([(0.72, 0.40), (0.84, 0.40)], 0.04)
    tmp = G(g.n)
    person(tmp, cx=0.38, top=0.14, s=0.95, collar=True, gap=0)
    grow = tmp.m.filter(ImageFilter.MaxFilter(max(3, (int(0.06 * g.n) // 2) * 2 + 1)))
    g.m.paste(0, mask=grow)
    person(g, cx=0.38, top=0.14, s=0.95, collar=True)


def glyph_users(g):
    # one person behind to the right, one in front
    person(g, cx=0.64, top=0.08, s=0.78)
    # cut a gap around the front person
    tmp = G(g.n)
    person(tmp, cx=0.40, top=0.18, s=0.92, gap=0)
    grow = tmp.m.filter(ImageFilter.MaxFilter(max(3, (int(0.06 * g.n) // 2) * 2 + 1)))
    g.m.paste(0, mask=grow)
    person(g, cx=0.40, top=0.18, s=0.92)


def glyph_book(g):
    # open book: two slanted pages with a spine gap
    left = [(0.06, 0.24), (0.22, 0.20), (0.38, 0.21), (0.48, 0.27), (0.48, 0.84),
            (0.38, 0.78), (0.22, 0.77), (0.06, 0.81)]
    right = [(1 - x, y) for x, y in left]
    g.poly(left)
    g.poly(right)
    # lines of text cut into the pages
    for i in range(4):
        y = 0.35 + i * 0.11
        g.line([(0.13, y), (0.40, y + 0.02)], 0.035, fill=0)
        g.line([(0.60, y + 0.02), (0.87, y)], 0.035, fill=0)
    # the cover edge below the pages
    g.line([(0.04, 0.87), (0.30, 0.84), (0.5, 0.90), (0.70, 0.84), (0.96, 0.87)], 0.05)


def glyph_database_search(g):
    # database cylinder
    x0, x1 = 0.08, 0.62
    ry = 0.08
    for i, y in enumerate((0.14, 0.36, 0.58)):
        g.rect(x0, y, x1, y + 0.20)
        g.ellipse(x0, y + 0.20 - ry, x1, y + 0.20 + ry)
        g.ellipse(x0, y - ry, x1, y + ry)
        if i > 0:
            g.arc(x0, y - ry, x1, y + ry, 0, 180, 0.035, fill=0)
    g.arc(x0, 0.14 - ry, x1, 0.14 + ry, 0, 360, 0.0, fill=255)
    g.ellipse(x0 + 0.06, 0.14 - ry + 0.035, x1 - 0.06, 0.14 + ry - 0.035, fill=0)
    g.ellipse(x0 + 0.10, 0.14 - ry + 0.05, x1 - 0.10, 0.14 + ry - 0.05, fill=255)
    # magnifier in front, with a cut-out ring around it
    cx, cy, r = 0.64, 0.60, 0.19
    g.circle(cx, cy, r + 0.07, fill=0)
    g.line([(cx + 0.16, cy + 0.16), (0.95, 0.95)], 0.16, fill=0)
    g.circle(cx, cy, r, width=0.07)
    g.line([(cx + 0.15, cy + 0.15), (0.92, 0.92)], 0.10)


def glyph_building(g):
    g.poly([(0.5, 0.06), (0.95, 0.30), (0.05, 0.30)])
    g.circle(0.5, 0.22, 0.05, fill=0)
    g.rect(0.07, 0.33, 0.93, 0.40)
    for i in range(4):
        x = 0.15 + i * 0.22
        g.rect(x, 0.44, x + 0.11, 0.76)
    g.rect(0.07, 0.80, 0.93, 0.86)
    g.rect(0.02, 0.89, 0.98, 0.95)


def glyph_chart(g):
    # axes
    g.line([(0.08, 0.06), (0.08, 0.92), (0.96, 0.92)], 0.06)
    heights = (0.34, 0.52, 0.44, 0.72)
    for i, hgt in enumerate(heights):
        x = 0.18 + i * 0.19
        g.rect(x, 0.86 - hgt, x + 0.13, 0.86, r=0.02)
    # trend line above the bars, with a cut-out halo
    pts = [(0.20, 0.40), (0.40, 0.26), (0.58, 0.32), (0.86, 0.08)]
    g.line(pts, 0.11, fill=0)
    g.line(pts, 0.05)
    g.poly([(0.92, 0.02), (0.93, 0.17), (0.78, 0.06)])


def glyph_gradcap(g):
    mortarboard(g, 0.5, 0.24, s=1.3)
    # a rolled diploma under the cap
    g.rect(0.14, 0.74, 0.80, 0.94, r=0.10)
    g.circle(0.80, 0.84, 0.10)
    g.circle(0.80, 0.84, 0.045, fill=0)
    g.rect(0.40, 0.72, 0.50, 0.96, fill=0)
    g.rect(0.425, 0.72, 0.475, 0.96)


def glyph_calendar(g):
    g.rect(0.08, 0.14, 0.86, 0.88, r=0.08)
    g.rect(0.14, 0.34, 0.80, 0.82, fill=0, r=0.03)
    # day cells
    for r_ in range(3):
        for c in range(4):
            x = 0.18 + c * 0.155
            y = 0.39 + r_ * 0.14
            g.rect(x, y, x + 0.11, y + 0.10, r=0.015)
    # rings
    for x in (0.27, 0.67):
        g.rect(x - 0.06, 0.04, x + 0.06, 0.24, fill=0, r=0.04)
        g.rect(x - 0.03, 0.06, x + 0.03, 0.22, r=0.03)


def glyph_gradesheet(g):
    # sheet with a folded corner
    g.poly([(0.14, 0.04), (0.66, 0.04), (0.86, 0.24), (0.86, 0.96), (0.14, 0.96)])
    g.poly([(0.64, 0.04), (0.64, 0.26), (0.86, 0.26)], fill=0)
    g.poly([(0.68, 0.08), (0.68, 0.22), (0.82, 0.22)])
    # rows of the sheet
    for i in range(5):
        y = 0.36 + i * 0.12
        g.rect(0.22, y, 0.28, y + 0.05, fill=0)
        g.rect(0.33, y, 0.60, y + 0.05, fill=0)
        g.rect(0.66, y, 0.78, y + 0.05, fill=0)
    g.rect(0.22, 0.16, 0.52, 0.22, fill=0)


def glyph_power(g):
    g.arc(0.16, 0.18, 0.84, 0.86, -58, 238, 0.10)
    g.line([(0.5, 0.08), (0.5, 0.50)], 0.10)


def glyph_key(g):
    # ring with hole, shaft and two bits
    g.circle(0.30, 0.34, 0.24)
    g.circle(0.30, 0.34, 0.09, fill=0)
    g.line([(0.45, 0.49), (0.90, 0.94)], 0.12)
    g.line([(0.68, 0.72), (0.56, 0.84)], 0.10)
    g.line([(0.80, 0.84), (0.70, 0.94)], 0.10)


GLYPHS = {
    "student": glyph_student,
    "teacher": glyph_teacher,
    "users": glyph_users,
    "book": glyph_book,
    "search": glyph_database_search,
    "building": glyph_building,
    "chart": glyph_chart,
    "gradcap": glyph_gradcap,
    "calendar": glyph_calendar,
    "sheet": glyph_gradesheet,
    "power": glyph_power,
}


def glyph_mask(name, px):
    """The glyph as an L mask of px final pixels (drawn supersampled)."""
    g = G(px * SS)
    GLYPHS[name](g)
    return g.m


# ---------------------------------------------------------------- badges
# Small coloured marks in the lower right corner of an icon.

def badge(kind, px, accent):
    n = px * SS
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    white = (255, 255, 255, 255)
    if kind == "plus":
        d.ellipse((0, 0, n - 1, n - 1), fill=white)
        m = int(n * 0.09)
        d.ellipse((m, m, n - 1 - m, n - 1 - m), fill=rgba(accent))
        w = int(n * 0.14)
        c = n / 2
        L = n * 0.27
        d.rectangle((c - L, c - w / 2, c + L, c + w / 2), fill=white)
        d.rectangle((c - w / 2, c - L, c + w / 2, c + L), fill=white)
    elif kind == "pencil":
        # a pencil lying from lower left to upper right, outlined in white
        def pencil(dd, grow, body, tipc, lead, eraser):
            ang = math.radians(-45)
            ux, uy = math.cos(ang), math.sin(ang)     # along the pencil
            vx, vy = -uy, ux                          # across
            cx, cy = n * 0.5, n * 0.5
            half = n * 0.13 + grow
            L0, L1 = -n * 0.42 - grow, n * 0.42 + grow

            def P(a, b):
                return (cx + ux * a + vx * b, cy + uy * a + vy * b)
            tip0 = L0 + n * 0.24
            dd.polygon([P(tip0, -half), P(L1, -half), P(L1, half), P(tip0, half)], fill=body)
            dd.polygon([P(L0, 0), P(tip0, -half), P(tip0, half)], fill=tipc)
            if lead:
                dd.polygon([P(L0, 0), P(L0 + n * 0.09, -half * 0.4), P(L0 + n * 0.09, half * 0.4)], fill=lead)
            if eraser:
                dd.polygon([P(L1 - n * 0.16, -half), P(L1, -half), P(L1, half), P(L1 - n * 0.16, half)], fill=eraser)
        pencil(d, n * 0.07, white, white, None, None)
        pencil(d, 0, rgba(accent), (250, 222, 170, 255), (60, 60, 60, 255), (235, 120, 130, 255))
    elif kind == "alert":
        d.ellipse((0, 0, n - 1, n - 1), fill=white)
        m = int(n * 0.09)
        d.ellipse((m, m, n - 1 - m, n - 1 - m), fill=rgba(accent))
        c = n / 2
        w = n * 0.13
        d.rounded_rectangle((c - w / 2, n * 0.2, c + w / 2, n * 0.6), radius=w / 2, fill=white)
        d.ellipse((c - w * 0.6, n * 0.68, c + w * 0.6, n * 0.68 + w * 1.2), fill=white)
    elif kind == "check":
        d.ellipse((0, 0, n - 1, n - 1), fill=white)
        m = int(n * 0.09)
        d.ellipse((m, m, n - 1 - m, n - 1 - m), fill=rgba(accent))
        d.line([(n * 0.27, n * 0.52), (n * 0.44, n * 0.68), (n * 0.74, n * 0.34)], fill=white,
               width=int(n * 0.13), joint="curve")
    elif kind == "gear":
        c = n / 2
        d.ellipse((0, 0, n - 1, n - 1), fill=white)
        m = int(n * 0.09)
        d.ellipse((m, m, n - 1 - m, n - 1 - m), fill=rgba(accent))
        for i in range(8):
            a = i * math.pi / 4
            r0, r1 = n * 0.18, n * 0.34
            w = n * 0.07
            pts = []
            for rr, sgn in ((r0, -1), (r1, -1), (r1, 1), (r0, 1)):
                pts.append((c + rr * math.cos(a) - sgn * w * math.sin(a), c + rr * math.sin(a) + sgn * w * math.cos(a)))
            d.polygon(pts, fill=white)
        d.ellipse((c - n * 0.24, c - n * 0.24, c + n * 0.24, c + n * 0.24), fill=white)
        d.ellipse((c - n * 0.10, c - n * 0.10, c + n * 0.10, c + n * 0.10), fill=rgba(accent))
    return img.resize((px, px), Image.LANCZOS)


# ---------------------------------------------------------------- tiles

# The function pictures: file names by look, caption, size in pixels,
# glyph, badge, and the two gradient colours of the tile.
FUNCTIONS = [
    # control, caption, (w, h), glyph, badge, top, bottom, {look: [files]}
    ("Image1", "修改学生记录", (118, 100), "student", "pencil", "#63B0F2", "#2C6FC4",
     {"hover": ["sdelete1.gif"], "released": ["sdelete2.gif"]}),
    ("Image2", "用户管理", (100, 100), "users", "gear", "#97A9BF", "#55687F",
     {"pressed": ["user.gif"], "released": ["user1.gif"], "hover": ["user2.gif"]}),
    ("Image3", "课程管理", (112, 100), "book", None, "#62CB8E", "#2A9258",
     {"hover": ["c1.gif"], "released": ["c2.gif"]}),
    ("Image4", "自由查询", (151, 100), "search", None, "#4FC4C6", "#1C8590",
     {"pressed": ["FREES.gif"], "hover": ["FREES2.gif"]}),
    ("Image6", "系部设置", (100, 100), "building", None, "#8F96EA", "#4B52B4",
     {"hover": ["dp1.gif"], "released": ["dp2.gif"]}),
    ("Image7", "修改教师信息", (143, 100), "teacher", "pencil", "#F2AC62", "#C46A22",
     {"pressed": ["tDelete1.gif"], "hover": ["tDelete2.gif"]}),
    ("Image8", "添加学生记录", (100, 100), "student", "plus", "#74C6F2", "#2A83C2",
     {"pressed": ["studentADD1.gif"], "hover": ["studentADD2.gif"]}),
    ("Image9", "成绩统计", (112, 100), "chart", None, "#EE8FB4", "#BE4A7C",
     {"pressed": ["ACCOUNT1.gif"], "hover": ["ACCOUNT2.gif"]}),
    ("Image10", "专业设置", (100, 82), "gradcap", None, "#98CC62", "#5A9330",
     {"hover": ["sp1.gif"], "released": ["sp2.gif"]}),
    ("Image11", "添加教师记录", (100, 100), "teacher", "plus", "#F6BE5C", "#CC8016",
     {"hover": ["TADD1.gif"], "pressed": ["TADD2.gif"]}),
    ("Image12", "补考信息管理", (151, 100), "calendar", "alert", "#F29282", "#C24E3E",
     {"pressed": ["Ree1.gif"], "hover": ["Ree2.gif"]}),
    ("Image14", "成绩管理", (112, 100), "sheet", "check", "#C393E4", "#8549B0",
     {"pressed": ["G.gif"], "hover": ["G1.gif"], "released": ["G2.gif"]}),
]

EXIT = ("Image15", "退出系统", (135, 105), "power", None, "#F07C7C", "#B83434")

GOLD = (255, 204, 64)

BADGE_COLOURS = {"plus": (46, 170, 80), "pencil": (242, 150, 40), "alert": (230, 60, 50),
                 "check": (40, 160, 90), "gear": (60, 110, 200)}


def caption_font(text, avail):
    for size in (16, 15, 14, 13, 12):
        f = font(SANS_BOLD, size)
        if text_size(f, text)[0] <= avail:
            return f
    return font(SANS_BOLD, 12)


def tile(caption, size, glyph, badge_kind, top, bottom, look):
    """One function picture in one of its looks:
    normal   - the stored look;
    hover    - brighter, gold border with a light glow;
    pressed  - darker, sunk (moved down and right), shadow along the top;
    released - the normal colours with a gold border (just clicked)."""
    w, h = size
    top, bottom = hexc(top), hexc(bottom)
    M = 3
    dx = dy = 0
    if look == "hover":
        top, bottom = lighter(brighter(top, 0.15), 0.12), brighter(bottom, 0.22)
    elif look == "pressed":
        top, bottom = darker(top, 0.22), darker(bottom, 0.25)
        dx, dy = 1, 2
    x0, y0, x1, y1 = M + dx, M + dy, w - M + dx - 1, h - M + dy - 1
    rad = 12

    W, H = w * SS, h * SS
    img = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    box = [x0 * SS, y0 * SS, (x1 + 1) * SS - 1, (y1 + 1) * SS - 1]

    # outer glow / ring
    if look == "hover":
        glow = rounded_mask((W, H), [box[0] - 2.5 * SS, box[1] - 2.5 * SS, box[2] + 2.5 * SS, box[3] + 2.5 * SS], (rad + 2.5) * SS)
        paint(img, glow, (255, 236, 150))
    # tile body
    body = rounded_mask((W, H), box, rad * SS)
    grad = vgradient((W, H), top, bottom).convert("RGBA")
    img.paste(grad, (0, 0), body)
    # gloss on the upper half
    gb = [box[0] + 2 * SS, box[1] + 2 * SS, box[2] - 2 * SS, int(box[1] + (y1 - y0) * SS * 0.5)]
    gloss = rounded_mask((W, H), gb, (rad - 2) * SS)
    gl = Image.new("L", (W, H), 0)
    gl.paste(vgradient((W, gb[3] - gb[1]), (90, 90, 90), (0, 0, 0)).convert("L"), (0, gb[1]), gloss.crop((0, gb[1], W, gb[3])))
    if look == "pressed":
        gl = gl.point(lambda v: v // 3)
    paint(img, gl, (255, 255, 255))

    # caption strip
    cap_h = 22 if h >= 95 else 20
    strip = [box[0] + 2.5 * SS, box[3] - (cap_h + 2) * SS, box[2] - 2.5 * SS, box[3] - 2.5 * SS]
    smask = rounded_mask((W, H), strip, 7 * SS)
    strip_col = (255, 250, 225) if look in ("hover", "released") else (255, 255, 255)
    paint(img, smask, strip_col, alpha=236)

    # glyph area
    area_top = y0 + 6
    area_bot = y1 - cap_h - 5
    gpx = area_bot - area_top
    gx = (x0 + x1) // 2 - gpx // 2
    if badge_kind:
        gx -= 5
    gmask = glyph_mask(glyph, gpx)
    big = Image.new("L", (W, H), 0)
    big.paste(gmask, (gx * SS, area_top * SS))
    shadow = big.filter(ImageFilter.GaussianBlur(SS * 0.8))
    paint(img, shadow, darker(bottom, 0.45), offset=(int(SS * 1), int(SS * 1.5)), alpha=150)
    paint(img, big, (255, 255, 255))

    # border
    bmask = Image.new("L", (W, H), 0)
    bd = ImageDraw.Draw(bmask)
    if look in ("hover", "released"):
        bd.rounded_rectangle(box, radius=rad * SS, outline=255, width=int(2.5 * SS))
        paint(img, bmask, GOLD if look == "hover" else (255, 190, 40))
    elif look == "pressed":
        bd.rounded_rectangle(box, radius=rad * SS, outline=255, width=int(1.5 * SS))
        paint(img, bmask, darker(bottom, 0.45))
        # inner shadow along the top and the left edge
        inner = Image.new("L", (W, H), 0)
        ImageDraw.Draw(inner).rounded_rectangle([box[0], box[1], box[2] + 6 * SS, box[3] + 6 * SS], radius=rad * SS, outline=255, width=4 * SS)
        inner = Image.composite(inner.filter(ImageFilter.GaussianBlur(2 * SS)), Image.new("L", (W, H), 0), body)
        paint(img, inner, (0, 0, 0), alpha=110)
    else:
        bd.rounded_rectangle(box, radius=rad * SS, outline=255, width=int(1.2 * SS))
        paint(img, bmask, darker(bottom, 0.2))

    img = img.resize((w, h), Image.LANCZOS)

    # badge, drawn at the final size from its own supersampled image
    if badge_kind:
        bpx = 26 if gpx >= 50 else 22
        b = badge(badge_kind, bpx, BADGE_COLOURS[badge_kind])
        bx = min(gx + gpx - bpx // 2 + 6, x1 - bpx - 2)
        by = area_bot - bpx + 3
        img.alpha_composite(b, (bx, by))

    # caption text at the final size
    d = ImageDraw.Draw(img)
    sx0, sy0, sx1, sy1 = [v / SS for v in strip]
    f = caption_font(caption, sx1 - sx0 - 3)
    draw_text_center(d, (sx0 + sx1) / 2, (sy0 + sy1) / 2 + 0.5, caption, f, darker(bottom, 0.45))
    return img


# ---------------------------------------------------------------- other pictures

def quill(d, x, y, length, angle, color, vane, S=1):
    """A quill feather: a curved shaft with a vane, drawn on an RGBA draw."""
    a = math.radians(angle)
    ux, uy = math.cos(a), math.sin(a)
    vx, vy = -uy, ux
    pts_l, pts_r = [], []
    for i in range(21):
        t = i / 20
        bend = math.sin(t * math.pi) * length * 0.05
        cx = x + ux * length * t + vx * bend
        cy = y + uy * length * t + vy * bend
        wdt = length * 0.13 * math.sin(min(1, (t - 0.15) / 0.85) * math.pi) if t > 0.15 else 0
        pts_l.append((cx + vx * wdt, cy + vy * wdt))
        pts_r.append((cx - vx * wdt * 0.75, cy - vy * wdt * 0.75))
    d.polygon(pts_l + pts_r[::-1], fill=vane)
    shaft = []
    for i in range(21):
        t = i / 20
        bend = math.sin(t * math.pi) * length * 0.05
        shaft.append((x + ux * length * t + vx * bend, y + uy * length * t + vy * bend))
    d.line(shaft, fill=color, width=max(1, int(length * 0.022)))


def title_band():
    """Light ornamental band under the big title of the function menu."""
    w, h = 679, 49
    W, H = w * SS, h * SS
    img = Image.new("RGBA", (W, H), rgba(BG))
    d = ImageDraw.Draw(img)
    # soft band, brightest in the middle, fading to the background at both ends
    band = hgradient((W, H), BG, (226, 236, 250))
    fade = Image.new("L", (W, H), 0)
    for x in range(0, W, SS):
        t = x / W
        v = int(255 * math.sin(t * math.pi) ** 0.7)
        ImageDraw.Draw(fade).rectangle((x, 0, x + SS, H), fill=v)
    mid = vgradient((W, H), (236, 243, 252), (222, 233, 249))
    img.paste(mid.convert("RGBA"), (0, 0), fade)
    gold = (214, 178, 96)
    blue = (150, 178, 226)
    cy = H / 2
    # thin double rules, broken in the middle by an ornament
    for off, col, wd in ((-15, gold, 1.2), (-11, blue, 0.8), (11, blue, 0.8), (15, gold, 1.2)):
        y = cy + off * SS
        d.line([(40 * SS, y), (W / 2 - 46 * SS, y)], fill=rgba(col), width=int(wd * SS))
        d.line([(W / 2 + 46 * SS, y), (W - 40 * SS, y)], fill=rgba(col), width=int(wd * SS))
    # rule ends: small diamonds
    for x in (40 * SS, W - 40 * SS):
        r = 4 * SS
        d.polygon([(x - r, cy), (x, cy - r), (x + r, cy), (x, cy + r)], fill=rgba(gold))
    # scrolls along the band
    for side in (-1, 1):
        for k in range(5):
            x = W / 2 + side * (80 + k * 52) * SS
            r = 5 * SS
            d.arc((x - r, cy - r, x + r, cy + r), 0, 360, fill=rgba(blue), width=int(1 * SS))
            d.ellipse((x - 1.6 * SS, cy - 1.6 * SS, x + 1.6 * SS, cy + 1.6 * SS), fill=rgba(gold))
            if k < 4:
                x2 = x + side * 26 * SS
                d.arc((x2 - 13 * SS, cy - 7 * SS, x2 + 13 * SS, cy + 7 * SS), 0, 180,
                      fill=rgba((190, 205, 232)), width=int(1 * SS))
                d.polygon([(x2 - 2.2 * SS, cy), (x2, cy - 2.2 * SS), (x2 + 2.2 * SS, cy), (x2, cy + 2.2 * SS)], fill=rgba((196, 212, 238)))
    # centre ornament: a quill over an open book, in light tones
    cx = W / 2
    d.ellipse((cx - 36 * SS, cy - 20 * SS, cx + 36 * SS, cy + 20 * SS), fill=rgba((246, 249, 254)), outline=rgba((228, 208, 156)), width=int(1.2 * SS))
    book = (204, 219, 242)
    d.polygon([(cx - 2 * SS, cy - 2 * SS), (cx - 20 * SS, cy - 8 * SS), (cx - 22 * SS, cy + 9 * SS), (cx - 2 * SS, cy + 13 * SS)], fill=rgba(book))
    d.polygon([(cx + 2 * SS, cy - 2 * SS), (cx + 20 * SS, cy - 8 * SS), (cx + 22 * SS, cy + 9 * SS), (cx + 2 * SS, cy + 13 * SS)], fill=rgba(book))
    quill(d, cx - 4 * SS, cy + 8 * SS, 34 * SS, -62, rgba((212, 186, 128)), rgba((240, 226, 190)))
    img = img.resize((w, h), Image.LANCZOS).convert("RGB")
    img.save(os.path.join(OUT, "title_Image13.jpg"), quality=90)


def caption_badge():
    """Soft badge behind the orange words of the function menu."""
    w, h = 124, 44
    W, H = w * SS, h * SS
    img = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    # pill, its middle where the words sit
    pill = [2 * SS, 17 * SS, W - 2 * SS - 1, H - 2 * SS - 1]
    m = rounded_mask((W, H), pill, 12 * SS)
    img.paste(vgradient((W, H), (255, 250, 238), (255, 238, 212)).convert("RGBA"), (0, 0), m)
    d.rounded_rectangle(pill, radius=12 * SS, outline=rgba((244, 178, 102)), width=int(1.4 * SS))
    inner = [pill[0] + 3 * SS, pill[1] + 3 * SS, pill[2] - 3 * SS, pill[3] - 3 * SS]
    d.rounded_rectangle(inner, radius=9 * SS, outline=rgba((250, 214, 168)), width=int(0.8 * SS))
    # a small open book on top, as a tab
    cx = W / 2
    d.ellipse((cx - 15 * SS, 1 * SS, cx + 15 * SS, 31 * SS), fill=rgba((255, 250, 238)), outline=rgba((244, 178, 102)), width=int(1.4 * SS))
    d.rectangle((cx - 13 * SS, 18 * SS, cx + 13 * SS, 21 * SS), fill=rgba((255, 248, 234)))
    pg = (246, 150, 60)
    d.polygon([(cx - 1 * SS, 9 * SS), (cx - 10 * SS, 6 * SS), (cx - 10 * SS, 16 * SS), (cx - 1 * SS, 18.5 * SS)], fill=rgba(pg))
    d.polygon([(cx + 1 * SS, 9 * SS), (cx + 10 * SS, 6 * SS), (cx + 10 * SS, 16 * SS), (cx + 1 * SS, 18.5 * SS)], fill=rgba(pg))
    # little stars at both ends
    for x in (16 * SS, W - 16 * SS):
        r = 3 * SS
        d.polygon([(x - r, 9 * SS), (x, 9 * SS - r), (x + r, 9 * SS), (x, 9 * SS + r)], fill=rgba((250, 196, 120)))
    img = img.resize((w, h), Image.LANCZOS)
    to_gif(img, os.path.join(OUT, "caption_Image5.gif"))


def database(d, x, y, w, h, body, band, top):
    """A database cylinder on an RGBA draw (supersampled coordinates)."""
    ry = h * 0.12
    d.rectangle((x, y + ry, x + w, y + h - ry), fill=body)
    d.ellipse((x, y + h - 2 * ry, x + w, y + h), fill=body)
    for k in (1, 2):
        yy = y + ry + (h - 2 * ry) * k / 3
        d.arc((x, yy - ry, x + w, yy + ry), 0, 180, fill=band, width=max(1, int(w * 0.04)))
    d.ellipse((x, y, x + w, y + 2 * ry), fill=top)


def server_banner():
    w, h = 400, 82
    W, H = w * SS, h * SS
    img = hgradient((W, H), (28, 72, 150), (40, 150, 190)).convert("RGBA")
    d = ImageDraw.Draw(img)
    # faint network of nodes in the background
    rnd = random.Random(7)
    nodes = [(rnd.uniform(0.62, 1.0) * W, rnd.uniform(0.04, 0.30) * H) for _ in range(9)]
    for i, a in enumerate(nodes):
        for b in nodes[i + 1:]:
            if math.dist(a, b) < 70 * SS:
                d.line([a, b], fill=(255, 255, 255, 34), width=SS)
    for a in nodes:
        d.ellipse((a[0] - 2 * SS, a[1] - 2 * SS, a[0] + 2 * SS, a[1] + 2 * SS), fill=(255, 255, 255, 70))
    # three database cylinders on the left
    database(d, 14 * SS, 10 * SS, 28 * SS, 44 * SS, (170, 210, 245, 255), (90, 140, 200, 255), (225, 240, 255, 255))
    database(d, 34 * SS, 16 * SS, 32 * SS, 46 * SS, (210, 232, 252, 255), (110, 160, 215, 255), (250, 252, 255, 255))
    # a connection plug / lightning arc between the database and the text
    d.line([(70 * SS, 40 * SS), (80 * SS, 40 * SS)], fill=(255, 210, 90, 255), width=2 * SS)
    d.ellipse((78 * SS, 36 * SS, 86 * SS, 44 * SS), fill=(255, 210, 90, 255))
    # bottom light line
    d.rectangle((0, 60 * SS, W, 61 * SS), fill=(255, 255, 255, 60))
    img = img.resize((w, h), Image.LANCZOS)
    d = ImageDraw.Draw(img)
    # titles (the upper 64 pixels stay visible on the form)
    f1 = font(SERIF_BOLD, 27)
    d.text((98, 5), "Quillmere", font=f1, fill=(255, 255, 255), stroke_width=0)
    f2 = font(KAI, 22)
    d.text((256, 26), "服务器登录", font=f2, fill=(255, 226, 140), stroke_width=1, stroke_fill=(20, 60, 120))
    f3 = font(SANS_REG, 10)
    d.text((100, 42), "SQL Server · 数据库连接", font=f3, fill=(205, 228, 250))
    img.convert("RGB").save(os.path.join(OUT, "flogin_banner.jpg"), quality=90)


def school(d, x, y, s, wall, roof, detail):
    """A school house with a bell tower and a flag, on an RGBA draw."""
    S = s
    # main building
    d.rectangle((x, y + 30 * S, x + 120 * S, y + 70 * S), fill=wall)
    d.polygon([(x - 6 * S, y + 32 * S), (x + 60 * S, y + 10 * S), (x + 126 * S, y + 32 * S)], fill=roof)
    # tower
    d.rectangle((x + 48 * S, y - 8 * S, x + 72 * S, y + 30 * S), fill=wall)
    d.polygon([(x + 44 * S, y - 6 * S), (x + 60 * S, y - 22 * S), (x + 76 * S, y - 6 * S)], fill=roof)
    d.ellipse((x + 54 * S, y + 0 * S, x + 66 * S, y + 12 * S), fill=detail)
    # flag
    d.line([(x + 60 * S, y - 22 * S), (x + 60 * S, y - 38 * S)], fill=detail, width=max(1, int(1.5 * S)))
    d.polygon([(x + 60 * S, y - 38 * S), (x + 74 * S, y - 34 * S), (x + 60 * S, y - 30 * S)], fill=(230, 80, 70, 255))
    # windows and door
    for i in range(4):
        wx = x + 10 * S + i * 28 * S + (8 * S if i >= 2 else 0)
        if i >= 2:
            wx = x + 78 * S + (i - 2) * 22 * S
        else:
            wx = x + 10 * S + i * 22 * S
        d.rectangle((wx, y + 40 * S, wx + 12 * S, y + 54 * S), fill=detail)
    d.rounded_rectangle((x + 52 * S, y + 44 * S, x + 68 * S, y + 70 * S), radius=6 * S, fill=detail)
    d.rectangle((x - 8 * S, y + 70 * S, x + 128 * S, y + 74 * S), fill=roof)


def user_banner():
    """Banner of the user login form.  It is placed 8 pixels left and 24
    pixels above the form's client area, and the fields of the form start 176
    pixels down the banner, so the drawing lives between y 26 and 150 and the
    bottom fades into the background colour."""
    w, h = 400, 200
    W, H = w * SS, h * SS
    sky = vgradient((W, H), (40, 96, 176), (120, 178, 232)).convert("RGBA")
    img = sky
    d = ImageDraw.Draw(img)
    # sun glow on the right
    glow = Image.new("L", (W, H), 0)
    ImageDraw.Draw(glow).ellipse((300 * SS, 10 * SS, 420 * SS, 130 * SS), fill=120)
    glow = glow.filter(ImageFilter.GaussianBlur(20 * SS))
    paint(img, glow, (255, 252, 232))
    # two soft clouds
    clouds = Image.new("L", (W, H), 0)
    cd = ImageDraw.Draw(clouds)
    for x, y, s in ((238, 46, 1.0), (338, 30, 0.8)):
        for ox, oy, r in ((0, 6, 9), (12, 0, 12), (26, 5, 9), (13, 9, 9)):
            cd.ellipse(((x + ox * s - r * s) * SS, (y + oy * s - r * s) * SS,
                        (x + ox * s + r * s) * SS, (y + oy * s + r * s) * SS), fill=255)
    paint(img, clouds.filter(ImageFilter.GaussianBlur(0.8 * SS)), (255, 255, 255), alpha=215)
    # rolling hills
    d.ellipse((-80 * SS, 112 * SS, 260 * SS, 230 * SS), fill=(150, 205, 160, 255))
    d.ellipse((150 * SS, 118 * SS, 520 * SS, 250 * SS), fill=(128, 192, 142, 255))
    # the school
    school(d, 262 * SS, 78 * SS, 0.85 * SS, (250, 246, 236, 255), (196, 84, 70, 255), (92, 120, 170, 255))
    # books and a quill on the left
    for i, col in enumerate(((226, 120, 90), (90, 150, 210), (236, 190, 90))):
        yb = 126 * SS - i * 9 * SS
        d.rounded_rectangle((20 * SS + i * 3 * SS, yb, 20 * SS + i * 3 * SS + (62 - i * 6) * SS, yb + 8 * SS), radius=2 * SS, fill=rgba(col))
        d.rectangle((24 * SS + i * 3 * SS, yb + 2 * SS, 30 * SS + i * 3 * SS, yb + 6 * SS), fill=(255, 255, 255, 160))
    quill(d, 86 * SS, 134 * SS, 50 * SS, -40, (120, 85, 40, 255), (255, 252, 240, 255))
    # fade the lower part into the background colour of the form
    fade = vgradient((W, H), (0, 0, 0), (0, 0, 0)).convert("L")
    fd = ImageDraw.Draw(fade)
    for y in range(H):
        yy = y / SS
        t = 0 if yy < 134 else min(1.0, (yy - 134) / 36)
        fd.line([(0, y), (W, y)], fill=int(255 * t))
    paint(img, fade, BG)
    img = img.resize((w, h), Image.LANCZOS)
    d = ImageDraw.Draw(img)
    f1 = font(SERIF_BOLD, 34)
    d.text((22, 28), "Quillmere", font=f1, fill=(255, 255, 255), stroke_width=1, stroke_fill=(30, 70, 140))
    f2 = font(KAI, 26)
    d.text((24, 72), "学生成绩管理系统", font=f2, fill=(255, 232, 150), stroke_width=1, stroke_fill=(30, 70, 140))
    img.convert("RGB").save(os.path.join(OUT, "floginuser_banner.jpg"), quality=90)


def key_picture():
    w, h = 40, 37
    W, H = w * SS, h * SS
    img = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    g = G(36 * SS)
    glyph_key(g)
    m = Image.new("L", (W, H), 0)
    m.paste(g.m, (2 * SS, 0))
    # dark outline, golden body, light highlight
    outline = m.filter(ImageFilter.MaxFilter(2 * SS + 1))
    paint(img, outline, (150, 100, 20))
    grad = vgradient((W, H), (255, 226, 120), (222, 160, 40)).convert("RGBA")
    img.paste(grad, (0, 0), m)
    hl = Image.new("L", (W, H), 0)
    ImageDraw.Draw(hl).arc((5 * SS, 3 * SS, 17 * SS, 15 * SS), 190, 280, fill=255, width=int(1.5 * SS))
    paint(img, hl, (255, 255, 230))
    img = img.resize((w, h), Image.LANCZOS)
    to_gif(img, os.path.join(OUT, "key.gif"))


def login_button():
    w, h = 87, 29
    W, H = w * SS, h * SS
    img = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    box = [1 * SS, 1 * SS, W - 1 * SS - 1, H - 1 * SS - 1]
    m = rounded_mask((W, H), box, 8 * SS)
    img.paste(vgradient((W, H), (92, 160, 236), (30, 92, 182)).convert("RGBA"), (0, 0), m)
    gloss = rounded_mask((W, H), [box[0] + 2 * SS, box[1] + 2 * SS, box[2] - 2 * SS, H * 0.48], 6 * SS)
    paint(img, gloss, (255, 255, 255), alpha=60)
    bm = Image.new("L", (W, H), 0)
    ImageDraw.Draw(bm).rounded_rectangle(box, radius=8 * SS, outline=255, width=int(1.2 * SS))
    paint(img, bm, (22, 64, 140))
    # a small key-like arrow on the left
    a = Image.new("L", (W, H), 0)
    ad = ImageDraw.Draw(a)
    ad.line([(14 * SS, 14.5 * SS), (25 * SS, 14.5 * SS)], fill=255, width=int(2.4 * SS))
    ad.polygon([(23 * SS, 9.5 * SS), (29 * SS, 14.5 * SS), (23 * SS, 19.5 * SS)], fill=255)
    paint(img, a, (255, 226, 130))
    img = img.resize((w, h), Image.LANCZOS)
    d = ImageDraw.Draw(img)
    draw_text_center(d, 52, 14.5, "登 录", font(SANS_BOLD, 15), (255, 255, 255), stroke=1, stroke_fill=(25, 70, 150))
    to_gif(img, os.path.join(OUT, "login_button.gif"))


def background():
    """Very light backdrop that tiles without seams: a slow periodic shading,
    faint diagonal lines and faint school symbols on a 200 pixel grid."""
    w, h = 800, 600
    sw, sh = 200, 150
    low = Image.new("RGB", (sw, sh))
    for y in range(sh):
        for x in range(sw):
            v = (math.sin(2 * math.pi * x / sw) * 0.5 + math.sin(2 * math.pi * (y / sh * 2 + x / sw)) * 0.35
                 + math.cos(2 * math.pi * y / sh) * 0.4)
            t = (v + 1.25) / 2.5
            low.putpixel((x, y), mix((246, 249, 253), (236, 242, 250), t))
    img = low.resize((w, h), Image.BICUBIC).convert("RGBA")
    W, H = w * 2, h * 2          # light supersampling is enough here
    over = Image.new("L", (W, H), 0)
    od = ImageDraw.Draw(over)
    step = 40 * 2
    for k in range(-H, W + H, step):
        od.line([(k, 0), (k + H, H)], fill=60, width=2)
    # faint symbols: a book, a pencil, a star, a mortarboard, alternating
    sym = []
    for gy in range(0, h, 100):
        for gx in range(0, w, 100):
            sx = gx + (50 if (gy // 100) % 2 else 0) + 50
            sym.append((sx % w, gy + 50, ((gx // 100) + (gy // 100)) % 4))
    for sx, sy, kind in sym:
        for ox in (-w, 0, w):
            for oy in (-h, 0, h):
                cx, cy = (sx + ox) * 2, (sy + oy) * 2
                if not (-60 < cx < W + 60 and -60 < cy < H + 60):
                    continue
                if kind == 0:       # open book
                    od.polygon([(cx - 2, cy - 8), (cx - 22, cy - 14), (cx - 22, cy + 10), (cx - 2, cy + 14)], fill=255)
                    od.polygon([(cx + 2, cy - 8), (cx + 22, cy - 14), (cx + 22, cy + 10), (cx + 2, cy + 14)], fill=255)
                elif kind == 1:     # pencil
                    od.line([(cx - 18, cy + 18), (cx + 14, cy - 14)], fill=255, width=9)
                    od.polygon([(cx - 18 - 5, cy + 18 + 5), (cx - 21, cy + 12), (cx - 12, cy + 21)], fill=255)
                elif kind == 2:     # star
                    pts = []
                    for i in range(10):
                        r = 20 if i % 2 == 0 else 8
                        a = -math.pi / 2 + i * math.pi / 5
                        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
                    od.polygon(pts, fill=255)
                else:               # mortarboard
                    od.polygon([(cx - 24, cy - 4), (cx, cy - 14), (cx + 24, cy - 4), (cx, cy + 6)], fill=255)
                    od.rectangle((cx - 12, cy + 2, cx + 12, cy + 12), fill=255)
    over = over.resize((w, h), Image.LANCZOS).point(lambda v: v * 22 // 255)
    paint(img, over, (120, 160, 220))
    img.convert("RGB").save(os.path.join(OUT, "background.jpg"), quality=86, optimize=True)


# ---------------------------------------------------------------- main

def main():
    os.makedirs(OUT, exist_ok=True)
    for control, caption, size, glyph, bk, top, bottom, files in FUNCTIONS:
        to_gif(tile(caption, size, glyph, bk, top, bottom, "normal"), os.path.join(OUT, "stored_%s.gif" % control))
        for look, names in files.items():
            im = tile(caption, size, glyph, bk, top, bottom, look)
            for name in names:
                to_gif(im, os.path.join(OUT, name))
    control, caption, size, glyph, bk, top, bottom = EXIT
    to_gif(tile(caption, size, glyph, bk, top, bottom, "normal"), os.path.join(OUT, "stored_%s.gif" % control))
    title_band()
    caption_badge()
    server_banner()
    user_banner()
    key_picture()
    login_button()
    background()


if __name__ == "__main__":
    main()
