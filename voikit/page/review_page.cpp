#include "voikit/page/review_page.h"

#include <algorithm>
#include <cstdio>

#include "voikit/io/utf8.h"
#include "voikit/page/html_text.h"

namespace voikit {
namespace {

// The review's own look, in the view page's colours; a role keeps its colour in the legend,
// the marks and the margin.
constexpr const char kStyle[] = R"(<style>
#review { padding: 4px 16px 12px; }
#review h2 { font-size: 16px; margin: 14px 0 6px; }
#review p, #review li { margin: 2px 0; }
#review .dim { color: var(--dim, #9aa1ad); }
#review .warning { color: #ffb060; }
#review a { color: #80d8ff; }
#pasted tr:target { box-shadow: inset 3px 0 0 #ffd34d; }
#reading li.won { font-weight: 600; }
#pasted { border-collapse: collapse; width: 100%; font: 13px/1.5 ui-monospace, "DejaVu Sans Mono", monospace; }
#pasted td { border-bottom: 1px solid var(--line, #2c313a); padding: 1px 6px; vertical-align: top; }
#pasted td.n { color: var(--dim, #9aa1ad); text-align: right; width: 3em; user-select: none; }
#pasted td.text { white-space: pre-wrap; overflow-wrap: anywhere; tab-size: 6; }
#pasted td.fate { width: 36%; font-family: system-ui, "DejaVu Sans", sans-serif; font-size: 12px; }
#pasted tr.voi td.fate b { color: #7ee08a; }
#pasted tr.dropped td.fate b { color: #ff8080; }
#pasted tr.set-aside td.fate b { color: #ffd34d; }
#pasted .fate b { font-weight: 600; }
#pasted .tab { background: rgba(255,255,255,0.06); }
#pasted .nbsp { background: rgba(255,211,77,0.25); }
mark.cell { color: #000; border-radius: 2px; padding: 0 1px; }
mark.x { background: #ff8a80; } mark.y { background: #80d8ff; } mark.z { background: #b9f6ca; }
mark.name { background: #e1bee7; } mark.radius { background: #ffe082; }
mark.side { background: #ffab40; } mark.space { background: #84ffff; }
mark.count { background: #c5cae9; } mark.statistic { background: #d7ccc8; }
mark.ignored { background: transparent; color: inherit; outline: 1px dashed #808690; }
#legend mark { margin-right: 6px; }
#spheres td, #spheres th { font-variant-numeric: tabular-nums; }
.swatch { display: inline-block; width: 12px; height: 12px; border: 1px solid #808690; vertical-align: middle; }
</style>
)";

constexpr const char* kRoles[] = {"x",    "y",     "z",     "name",      "radius",
                                  "side", "space", "count", "statistic", "ignored"};

bool knownRole(const std::string& role) {
    return std::find(std::begin(kRoles), std::end(kRoles), role) != std::end(kRoles);
}

// Whether a byte begins a character (is no UTF-8 continuation byte).
bool startsCharacter(const std::string& text, std::size_t at) {
    return at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

// Escaped text with the separators a reader cannot see made visible: tabs and no-break
// spaces each in a shaded span.
std::string visibleText(const std::string& text) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '\t') {
            out += "<span class=\"tab\" title=\"tab\">\t</span>";
            ++at;
        } else if (text.compare(at, 2, "\xC2\xA0") == 0) {
            out += "<span class=\"nbsp\" title=\"no-break space\">\xC2\xA0</span>";
            at += 2;
        } else if (text.compare(at, 3, "\xE2\x80\x89") == 0 ||
                   text.compare(at, 3, "\xE2\x80\xAF") == 0) {
            out += "<span class=\"nbsp\" title=\"thin space\">" + text.substr(at, 3) + "</span>";
            at += 3;
        } else {
            const std::size_t next = text.find_first_of("\t\xC2\xE2", at + 1);
            const std::size_t end = next == std::string::npos ? text.size() : next;
            out += htmlEscaped(std::string_view(text).substr(at, end - at));
            at = end;
        }
    }
    return out;
}

// The line with its cells marked; cells that overlap an earlier one, run past the line or
// cut a character are left unmarked.
std::string markedLine(const ReviewLine& line) {
    if (!isValidUtf8(line.text)) return visibleText(asUtf8(line.text));
    std::vector<ReviewCell> cells = line.cells;
    std::sort(cells.begin(), cells.end(), [](const ReviewCell& a, const ReviewCell& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end > b.end;
    });
    std::string out;
    std::size_t at = 0;
    for (const ReviewCell& cell : cells) {
        if (cell.begin < at || cell.end <= cell.begin || cell.end > line.text.size() ||
            !startsCharacter(line.text, cell.begin) || !startsCharacter(line.text, cell.end)) {
            continue;
        }
        const std::string role = knownRole(cell.role) ? cell.role : "ignored";
        out += visibleText(line.text.substr(at, cell.begin - at));
        out += "<mark class=\"cell " + role + "\" title=\"" + htmlEscaped(cell.role) + "\">" +
               visibleText(line.text.substr(cell.begin, cell.end - cell.begin)) + "</mark>";
        at = cell.end;
    }
    return out + visibleText(line.text.substr(at));
}

// "voi", "dropped", "set-aside", ...: the row's class, from its first fate that matters most.
std::string rowClass(const ReviewLine& line) {
    std::string kind;
    for (const ReviewFate& fate : line.fates) {
        if (fate.kind == "dropped") return "dropped";
        if (fate.kind == "VOI") kind = "voi";
        if (fate.kind == "set aside" && kind.empty()) kind = "set-aside";
    }
    return kind.empty() ? "other" : kind;
}

std::string fateCell(const ReviewLine& line) {
    std::string cell;
    for (const ReviewFate& fate : line.fates) {
        if (fate.kind == "empty") continue;
        const std::string head = fate.kind == "VOI" ? "VOI " + std::to_string(fate.voi) : fate.kind;
        // Accounts begin with what the margin already says in bold ("VOI 3 ...",
        // "dropped: ...", "header: ..."); it is not said twice.
        std::string account = fate.account;
        if (account.rfind(head, 0) == 0) {
            std::size_t rest = head.size();
            if (rest < account.size() && (account[rest] == ':' || account[rest] == ';')) ++rest;
            if (rest == account.size() || account[rest] == ' ') {
                account.erase(0, std::min(rest + 1, account.size()));
            }
        }
        cell += "<div><b>" + htmlEscaped(asUtf8(head)) + "</b>";
        if (!account.empty()) cell += " " + htmlEscaped(asUtf8(account));
        cell += "</div>";
    }
    return cell;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string sphereRows(const ReviewContents& r) {
    std::string rows;
    for (const ReviewVoi& voi : r.vois) {
        std::string swatch = "rgb(";
        for (int channel = 0; channel < 3; ++channel) {
            swatch +=
                (channel ? "," : "") + std::to_string(std::clamp(voi.colour[channel], 0, 255));
        }
        rows += "<tr><td>" + std::to_string(voi.number) +
                "</td><td><span class=\"swatch\" style=\"background:" + swatch + ")\"></span> " +
                htmlEscaped(asUtf8(voi.name)) + "</td><td>" + htmlEscaped(asUtf8(voi.written)) +
                "</td><td>" + number(voi.tal[0]) + " " + number(voi.tal[1]) + " " +
                number(voi.tal[2]) + "</td><td>" + number(voi.radius) + "</td></tr>\n";
    }
    return rows;
}

std::string items(const std::vector<std::string>& texts, const char* itemClass = "") {
    std::string list;
    for (const std::string& text : texts) {
        list +=
            std::string("<li class=\"") + itemClass + "\">" + htmlEscaped(asUtf8(text)) + "</li>";
    }
    return list;
}

}  // namespace

std::string reviewSection(const ReviewContents& r) {
    std::string out = kStyle;
    out += "<section id=\"review\">\n<p id=\"summary\">" + htmlEscaped(asUtf8(r.summary)) +
           " <span class=\"dim\">(" + htmlEscaped(asUtf8(r.encoding)) + ")</span></p>\n";
    out += "<h2>The reading</h2>\n<ul id=\"reading\"><li class=\"won\">read as " +
           htmlEscaped(asUtf8(r.reading)) + "</li>";
    if (!r.choice.empty()) out += "<li>" + htmlEscaped(asUtf8(r.choice)) + "</li>";
    out += items(r.proposals, "dim") + "</ul>\n";
    out += "<h2>The space</h2>\n<ul id=\"space\"><li>" + htmlEscaped(asUtf8(r.space)) + "</li>" +
           items(r.notes) + "</ul>\n";
    if (!r.warnings.empty()) {
        out += "<ul id=\"warnings\">" + items(r.warnings, "warning") + "</ul>\n";
    }
    out += "<h2>The spheres</h2>\n";
    if (r.vois.empty()) {
        out += "<p id=\"no-spheres\" class=\"warning\">No sphere was made of this table.</p>\n";
    } else {
        out +=
            "<table id=\"spheres\"><thead><tr><th>VOI</th><th>name</th><th>as written</th>"
            "<th>TAL centre</th><th>radius</th></tr></thead>\n<tbody>\n" +
            sphereRows(r) + "</tbody></table>\n";
    }
    // What was refused, first thing after what was made, each with its line.
    std::string dropped;
    for (const ReviewLine& line : r.lines) {
        for (const ReviewFate& fate : line.fates) {
            if (fate.kind != "dropped") continue;
            const std::string number = std::to_string(line.number);
            dropped += "<li><a href=\"#line-";
            dropped += number;
            dropped += "\">line ";
            dropped += number;
            dropped += "</a>: ";
            dropped += htmlEscaped(asUtf8(fate.account));
            dropped += "</li>";
        }
    }
    if (!dropped.empty()) out += "<h2>Dropped</h2>\n<ul id=\"dropped\">" + dropped + "</ul>\n";
    out += "<h2>The table as pasted</h2>\n<p id=\"legend\" class=\"dim\">";
    for (const char* role : kRoles) {
        out += std::string("<mark class=\"cell ") + role + "\">" + role + "</mark>";
    }
    out += " shaded: tabs and no-break or thin spaces</p>\n<table id=\"pasted\"><tbody>\n";
    for (const ReviewLine& line : r.lines) {
        out += "<tr class=\"" + rowClass(line) + "\" id=\"line-" + std::to_string(line.number) +
               "\"><td class=\"n\">" + std::to_string(line.number) + "</td><td class=\"text\">" +
               markedLine(line) + "</td><td class=\"fate\">" + fateCell(line) + "</td></tr>\n";
    }
    return out + "</tbody></table>\n</section>\n";
}

std::string reviewPage(const ReviewContents& r) {
    const std::string title = htmlEscaped("What was read from " + asUtf8(r.table));
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           // Nothing runs and nothing is fetched: the page is text and style.
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'\">\n<title>" +
           title +
           "</title>\n<style>:root { color-scheme: dark; --back: #121418; --line: #2c313a; "
           "--dim: #9aa1ad; } body { margin: 0; background: var(--back); color: #e1e3e9; "
           "font: 14px/1.4 system-ui, \"DejaVu Sans\", sans-serif; } h1 { font-size: 18px; "
           "margin: 10px 16px 0; word-break: break-all; }</style>\n</head>\n<body>\n<h1>" +
           title + "</h1>\n" + reviewSection(r) + "</body>\n</html>\n";
}

}  // namespace voikit
