"""The self-contained HTML page: inline style, figures embedded as base64 PNG."""
import base64
import html

STYLE = """
body{font-family:system-ui,-apple-system,"Segoe UI",Roboto,"Helvetica Neue",Arial,sans-serif;
 margin:0;background:#f4f5f7;color:#1d2329;line-height:1.45}
main{max-width:980px;margin:0 auto;padding:18px 22px 40px}
h1{font-size:1.45em;margin:.4em 0 .1em}
h2{font-size:1.15em;margin:1.6em 0 .5em;border-bottom:2px solid #d7dbe0;padding-bottom:.2em}
.sub{color:#5b6470;margin:0 0 1em}
section{background:#fff;border:1px solid #e0e3e7;border-radius:6px;padding:4px 18px 14px;
 margin:14px 0}
table{border-collapse:collapse;font-size:.92em;margin:.5em 0}
th,td{padding:3px 10px;border-bottom:1px solid #eceef1;text-align:left;vertical-align:top}
th{background:#f7f8fa;font-weight:600}
td.num{text-align:right;font-family:ui-monospace,"DejaVu Sans Mono",monospace;white-space:nowrap}
table.glance th{width:15em;background:none}
figure{margin:12px 0}
figure img{max-width:100%;height:auto;border:1px solid #eceef1}
figcaption{font-size:.88em;color:#5b6470}
pre{background:#f7f8fa;border:1px solid #eceef1;padding:8px;overflow-x:auto;font-size:.85em}
.stop{background:#fdecea;border:1px solid #e6a39c;border-left:5px solid #c0392b;
 padding:8px 14px;border-radius:4px;margin:12px 0}
.warn{background:#fff7e0;border:1px solid #ecd48a;border-left:5px solid #d4a017;
 padding:8px 14px;border-radius:4px;margin:12px 0}
summary{cursor:pointer;color:#1f5fa8;margin:.4em 0}
.note{color:#5b6470;font-size:.92em}
footer{color:#8a929c;font-size:.8em;margin-top:24px}
"""


def esc(text):
    return html.escape(str(text), quote=True)


def table(header, rows, cls=None, numeric=()):
    """An HTML table; cells are escaped; columns listed in numeric are right-aligned."""
    out = ['<table%s>' % (' class="%s"' % cls if cls else ""), "<tr>"]
    out += ["<th>%s</th>" % esc(h) for h in header]
    out.append("</tr>")
    for row in rows:
        out.append("<tr>" + "".join(
            '<td class="num">%s</td>' % esc(c) if i in numeric else "<td>%s</td>" % esc(c)
            for i, c in enumerate(row)) + "</tr>")
    out.append("</table>")
    return "\n".join(out)


def glance(rows):
    return "\n".join(['<table class="glance">'] + [
        "<tr><th>%s</th><td>%s</td></tr>" % (esc(k), esc(v)) for k, v in rows] + ["</table>"])


def figure(png, file_name, alt, caption):
    data = base64.b64encode(png).decode("ascii")
    return ('<figure><img src="data:image/png;base64,%s" alt="%s">'
            '<figcaption>%s (<a href="%s">%s</a>)</figcaption></figure>'
            % (data, esc(alt), esc(caption), esc(file_name), esc(file_name)))


def paragraph(text, cls=None):
    return '<p%s>%s</p>' % (' class="%s"' % cls if cls else "", esc(text))


def box(kind, title, lines):
    body = "".join("<div>%s</div>" % esc(line) for line in lines)
    return '<div class="%s"><strong>%s</strong>%s</div>' % (kind, esc(title), body)


def preformatted(lines, summary=None):
    """Lines as written; folded behind a summary line when one is given."""
    pre = "<pre>%s</pre>" % esc("\n".join(lines))
    if summary is None:
        return pre
    return "<details><summary>%s</summary>%s</details>" % (esc(summary), pre)


def section(anchor, title, parts):
    return '<section id="%s">\n<h2>%s</h2>\n%s\n</section>' % (
        esc(anchor), esc(title), "\n".join(parts))


def page(title, subtitle, banners, sections, footer):
    body = "\n".join([
        "<!DOCTYPE html>", '<html lang="en">', "<head>", '<meta charset="utf-8">',
        '<meta name="viewport" content="width=device-width, initial-scale=1">',
        "<title>%s</title>" % esc(title), "<style>%s</style>" % STYLE, "</head>", "<body><main>",
        "<h1>%s</h1>" % esc(title), paragraph(subtitle, "sub")] + banners + sections + [
        "<footer>%s</footer>" % esc(footer), "</main></body>", "</html>", ""])
    return body.replace("\r\n", "\n").replace("\n", "\r\n")
