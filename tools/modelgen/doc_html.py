"""The reference pages as HTML: the Markdown the generator writes (headings,
paragraphs, lists, tables, code spans, links between pages) turned into one
HTML file per page, links pointing at the HTML pages."""

import html
import re

STYLE = ("body{font-family:sans-serif;margin:2em}table{border-collapse:collapse}"
         "td,th{border:1px solid #ccc;padding:2px 6px;vertical-align:top}code{font-size:90%}")


def inline(text):
    """Code spans, links (x.md -> x.html) and escaping of one line of Markdown."""
    out, pos = [], 0
    for m in re.finditer(r"`([^`]*)`|\[([^\]]+)\]\(([^)]+)\)", text):
        out.append(html.escape(text[pos:m.start()]))
        if m.group(1) is not None:
            out.append("<code>%s</code>" % html.escape(m.group(1)))
        else:
            target = re.sub(r"\.md(#|$)", r".html\1", m.group(3))
            out.append('<a href="%s">%s</a>' % (html.escape(target), inline(m.group(2))))
        pos = m.end()
    out.append(html.escape(text[pos:]))
    return "".join(out)


def cells(row):
    """The cells of a table row; escaped pipes stay in their cell."""
    parts = re.split(r"(?<!\\)\|", row.strip())[1:-1]
    return [inline(p.strip().replace("\\|", "|")) for p in parts]


def page(markdown):
    """A whole HTML page for a page of Markdown."""
    body, paragraph, in_list, in_code = [], [], False, False
    lines = markdown.splitlines()
    title = next((line[2:] for line in lines if line.startswith("# ")), "Zentrava reference")

    def flush():
        nonlocal in_list
        if paragraph:
            body.append("<p>%s</p>" % inline(" ".join(paragraph)))
            paragraph.clear()
        if in_list:
            body.append("</ul>")
            in_list = False

    i = 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("```"):
            flush()
            body.append("</pre>" if in_code else "<pre>")
            in_code = not in_code
        elif in_code:
            body.append(html.escape(line))
        elif line.startswith("#"):
            flush()
            level = len(line) - len(line.lstrip("#"))
            text = line[level:].strip()
            anchor = re.sub(r"[^a-z0-9]+", "-", text.lower()).strip("-")
            body.append('<h%d id="%s">%s</h%d>' % (level, anchor, inline(text), level))
        elif line.startswith("|"):
            flush()
            header = cells(line)
            body.append("<table><tr>%s</tr>" % "".join("<th>%s</th>" % c for c in header))
            i += 2  # the header and its rule
            while i < len(lines) and lines[i].startswith("|"):
                body.append("<tr>%s</tr>" % "".join("<td>%s</td>" % c for c in cells(lines[i])))
                i += 1
            body.append("</table>")
            continue
        elif line.startswith("- "):
            if paragraph:
                flush()
            if not in_list:
                body.append("<ul>")
                in_list = True
            body.append("<li>%s</li>" % inline(line[2:]))
        elif line.strip():
            if in_list and line.startswith("  "):
                body[-1] = body[-1][:-len("</li>")] + " " + inline(line.strip()) + "</li>"
            else:
                paragraph.append(line.strip())
        else:
            flush()
        i += 1
    flush()
    return ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%s</title><style>%s</style></head>\n"
            "<body>\n%s\n</body></html>\n" % (html.escape(title), STYLE, "\n".join(body)))
