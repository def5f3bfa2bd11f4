#include "core/report/HtmlReportWriter.h"

#include "core/app/VersionInfo.h"
#include "core/common/Text.h"
#include "core/report/ReportText.h"

#include <QCryptographicHash>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// How much text the report gathers before handing it on.
constexpr qsizetype kChunk = qsizetype(32) * 1024;

QString esc(QStringView text)
{
    return markupEscaped(text, Markup::Html);
}

// An address as a table cell: a link a person can follow when it is http or https, plain text
// otherwise (a "javascript:" address must never become one).
QString addressCell(const QString &address)
{
    if (startsWithAsciiCI(address, u"http://") || startsWithAsciiCI(address, u"https://")) {
        return u"<a href=\""_s + esc(address) + u"\" rel=\"noreferrer noopener\">"_s + esc(address) + u"</a>"_s;
    }
    return esc(address);
}

// The sort key of a position: the line, then the column as nine decimals, so "9:3" sorts before
// "12:1" and "12:5" before "12:40".
QString positionKey(int line, int column)
{
    if (line <= 0) {
        return {};
    }
    return QString::number(line) + u'.' + QString::number(std::max(column, 0)).rightJustified(9, u'0');
}

QString positionText(int line, int column)
{
    if (line <= 0) {
        return {};
    }
    return column > 0 ? QString::number(line) + u':' + QString::number(column) : QString::number(line);
}

QString cspHash(const QString &text)
{
    return u"'sha256-"_s +
           QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toBase64()) + u'\'';
}

QString countText(qint64 n)
{
    return QString::number(n);
}

// The horizontal bar chart of the verdict counts, drawn as SVG: a label, a bar scaled to the
// largest count, the count after it.
QString verdictChart(const CrawlSummary &summary)
{
    constexpr int kLabelWidth = 130;
    constexpr int kBarWidth = 440;
    constexpr int kRowHeight = 26;
    constexpr int kBarHeight = 18;
    qint64 largest = 0;
    for (int i = 1; i < kVerdictCount; ++i) {
        largest = std::max(largest, summary.count(static_cast<Verdict>(i)));
    }
    const int height = (kVerdictCount - 1) * kRowHeight + 8;
    const int width = kLabelWidth + kBarWidth + 90;
    QString svg = u"<svg id=\"verdict-chart\" class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" "
                  u"aria-labelledby=\"verdict-chart-title\" width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\">\n"
                  u"<title id=\"verdict-chart-title\">Links by verdict</title>\n"_s.arg(width)
                      .arg(height);
    for (int i = 1; i < kVerdictCount; ++i) {
        const auto v = static_cast<Verdict>(i);
        const qint64 n = summary.count(v);
        int bar = largest > 0 ? static_cast<int>((kBarWidth * n + largest / 2) / largest) : 0;
        if (n > 0) {
            bar = std::max(bar, 2); // a count of one among millions still shows
        }
        const int y = 4 + (i - 1) * kRowHeight;
        const QString word = verdictName(v);
        svg += u"<g class=\"bar v-%1\" data-verdict=\"%1\"><text class=\"label\" x=\"%2\" y=\"%3\" "
               u"text-anchor=\"end\">%1</text><rect x=\"%4\" y=\"%5\" width=\"%6\" height=\"%7\" rx=\"2\"/>"
               u"<text class=\"value\" x=\"%8\" y=\"%3\">%9</text></g>\n"_s.arg(
                   word, QString::number(kLabelWidth - 8), QString::number(y + kBarHeight - 4),
                   QString::number(kLabelWidth), QString::number(y), QString::number(bar), QString::number(kBarHeight),
                   QString::number(kLabelWidth + bar + 6), countText(n));
    }
    svg += u"</svg>\n"_s;
    return svg;
}

QString linkList(const QStringList &links)
{
    QString out = u"<ul>\n"_s;
    for (const QString &link : links) {
        out += u"<li>"_s + addressCell(link) + u"</li>\n"_s;
    }
    return out + u"</ul>\n"_s;
}

} // namespace

HtmlReportWriter::HtmlReportWriter(ReportOutput output)
    : ReportWriter(std::move(output))
{}

QString HtmlReportWriter::styleSheet()
{
    return uR"css(
:root { color-scheme: light; --fg: #1d2126; --muted: #5f6b76; --line: #d8dde3; --head: #f2f4f7; }
* { box-sizing: border-box; }
body { margin: 0 auto; max-width: 1400px; padding: 24px; font: 14px/1.45 system-ui, sans-serif; color: var(--fg); }
h1 { font-size: 22px; margin: 0 0 4px; overflow-wrap: anywhere; }
h2 { font-size: 17px; margin: 28px 0 8px; }
h3 { font-size: 15px; margin: 12px 0 4px; }
.meta { color: var(--muted); margin: 0; overflow-wrap: anywhere; }
.stopped { color: #b3261e; font-weight: 600; }
.summary { display: flex; flex-wrap: wrap; gap: 24px; align-items: flex-start; }
table { border-collapse: collapse; }
th, td { border: 1px solid var(--line); padding: 4px 8px; text-align: left; vertical-align: top; }
thead th { background: var(--head); position: sticky; top: 0; }
td { overflow-wrap: anywhere; max-width: 40em; }
td.num, th.num { text-align: right; white-space: nowrap; }
table.list { width: 100%; }
table.list tbody tr:nth-child(even) { background: #fafbfc; }
th.sortable { cursor: pointer; user-select: none; }
th.sortable::after { content: " \2195"; color: var(--muted); }
th[aria-sort=ascending]::after { content: " \2191"; }
th[aria-sort=descending]::after { content: " \2193"; }
.controls { display: flex; gap: 16px; align-items: center; margin: 8px 0; flex-wrap: wrap; }
.controls[hidden] { display: none; }
.controls input { width: 24em; }
.chart text { font: 13px system-ui, sans-serif; fill: var(--fg); }
.chart rect { fill: #8a939c; }
.verdict { white-space: nowrap; font-weight: 600; }
.v-ok rect { fill: #2e7d32; } .v-redirected rect { fill: #0277bd; } .v-broken rect { fill: #c62828; }
.v-blocked rect { fill: #ef6c00; } .v-rate-limited rect { fill: #f9a825; } .v-timeout rect { fill: #6a1b9a; }
.v-unreachable rect { fill: #5d4037; } .v-fragment-missing rect { fill: #ad1457; } .v-skipped rect { fill: #9e9e9e; }
td.v-broken, td.v-timeout, td.v-unreachable, td.v-fragment-missing { color: #b3261e; }
td.v-blocked, td.v-rate-limited { color: #9a5b00; }
td.v-ok, td.v-redirected { color: #2e7d32; }
.empty { color: var(--muted); }
footer { margin-top: 32px; color: var(--muted); font-size: 12px; }
)css"_s;
}

QString HtmlReportWriter::script()
{
    return uR"js(
(function () {
  "use strict";
  var problems = document.getElementById("problems");
  var text = document.getElementById("filter-text");
  var verdict = document.getElementById("filter-verdict");
  var shown = document.getElementById("problems-shown");
  var sorted = null;

  function key(row, column) {
    var cell = row.cells[column];
    if (!cell) { return ""; }
    var k = cell.getAttribute("data-key");
    return k !== null ? k : cell.textContent;
  }
  function compare(a, b) {
    if (isFinite(a) && isFinite(b)) { return Number(a) - Number(b); }
    return a === b ? 0 : (a < b ? -1 : 1);
  }
  function sortTable(table, column, descending) {
    var heads = table.tHead.rows[0].cells;
    if (column < 0 || column >= heads.length) { return; }
    var body = table.tBodies[0];
    var rows = Array.prototype.slice.call(body.rows);
    rows.sort(function (r, s) {
      var a = key(r, column);
      var b = key(s, column);
      // Empty cells go last whichever the direction.
      if (a === "" || b === "") { return (a === "") - (b === ""); }
      var d = compare(a, b);
      return descending ? -d : d;
    });
    var fragment = document.createDocumentFragment();
    rows.forEach(function (r) { fragment.appendChild(r); });
    body.appendChild(fragment);
    for (var i = 0; i < heads.length; i++) {
      if (i === column) {
        heads[i].setAttribute("aria-sort", descending ? "descending" : "ascending");
      } else {
        heads[i].removeAttribute("aria-sort");
      }
    }
    sorted = { table: table.id, column: column, descending: descending };
  }
  function applyFilter() {
    if (!problems) { return; }
    var needle = text.value.toLowerCase();
    var wanted = verdict.value;
    var count = 0;
    var rows = problems.tBodies[0].rows;
    for (var i = 0; i < rows.length; i++) {
      var row = rows[i];
      var match = (wanted === "" || row.getAttribute("data-verdict") === wanted) &&
                  (needle === "" || row.textContent.toLowerCase().indexOf(needle) !== -1);
      row.hidden = !match;
      if (match) { count++; }
    }
    shown.textContent = String(count);
  }
  function remember() {
    var params = new URLSearchParams();
    if (problems && text.value !== "") { params.set("filter", text.value); }
    if (problems && verdict.value !== "") { params.set("verdict", verdict.value); }
    if (sorted) {
      params.set("sort", sorted.table + ":" + sorted.column);
      if (sorted.descending) { params.set("order", "desc"); }
    }
    var hash = params.toString();
    try {
      history.replaceState(null, "", hash === "" ? location.pathname + location.search : "#" + hash);
    } catch (e) {
      // Some browsers refuse to change the address of a file opened from disk; the view still works.
    }
  }

  var tables = document.querySelectorAll("table.sortable");
  Array.prototype.forEach.call(tables, function (table) {
    Array.prototype.forEach.call(table.tHead.rows[0].cells, function (head, column) {
      head.classList.add("sortable");
      head.tabIndex = 0;
      var toggle = function () {
        var descending = sorted !== null && sorted.table === table.id && sorted.column === column &&
                         !sorted.descending;
        sortTable(table, column, descending);
        remember();
      };
      head.addEventListener("click", toggle);
      head.addEventListener("keydown", function (event) {
        if (event.key === "Enter" || event.key === " ") { event.preventDefault(); toggle(); }
      });
    });
  });

  if (problems) {
    document.getElementById("controls").hidden = false;
    text.addEventListener("input", function () { applyFilter(); remember(); });
    verdict.addEventListener("change", function () { applyFilter(); remember(); });
  }

  var params = new URLSearchParams(location.hash.replace(/^#/, ""));
  if (problems) {
    text.value = params.get("filter") || "";
    var wanted = params.get("verdict") || "";
    verdict.value = wanted;
    if (verdict.value !== wanted) { verdict.value = ""; }
  }
  var sort = /^([a-z]+):([0-9]+)$/.exec(params.get("sort") || "");
  if (sort) {
    var table = document.getElementById(sort[1]);
    if (table && table.classList.contains("sortable")) {
      sortTable(table, Number(sort[2]), params.get("order") === "desc");
    }
  }
  applyFilter();
})();
)js"_s;
}

void HtmlReportWriter::begin(const CrawlHeader &header)
{
    m_header = header;
    m_findings.clear();
}

void HtmlReportWriter::pageDone(const CrawlPage &page, const QList<CrawlRow> &rows)
{
    m_findings.append(findingsOf(page, rows));
}

void HtmlReportWriter::end(const CrawlEnd &end)
{
    const QString style = styleSheet();
    const QString code = script();
    const CrawlSummary &summary = end.summary;
    const QString start = esc(m_header.start);

    QString out = u"<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                  u"<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "_s +
                  cspHash(style) + u"; script-src "_s + cspHash(code) +
                  u"; img-src data:; base-uri 'none'; form-action 'none'\">\n"
                  u"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                  u"<meta name=\"generator\" content=\"quorvel "_s +
                  esc(projectAppVersion()) + u"\">\n<title>Crawl of "_s + start + u"</title>\n<style>"_s + style +
                  u"</style>\n</head>\n<body>\n"_s;

    // Heading and counts.
    QStringList meta;
    if (const QString period = crawlPeriod(m_header.startedAt, end.endedAt); !period.isEmpty()) {
        meta.append(period);
    }
    if (!m_header.options.isEmpty()) {
        meta.append(esc(m_header.options));
    }
    out +=
        u"<header>\n<h1>Crawl of "_s + start + u"</h1>\n<p class=\"meta\">"_s + meta.join(u" \u00B7 "_s) + u"</p>\n"_s;
    if (end.stopped) {
        out += u"<p class=\"stopped\" id=\"stopped\">Stopped before the crawl was complete.</p>\n"_s;
    }
    out += u"</header>\n<section id=\"summary\">\n<h2>Summary</h2>\n<div class=\"summary\">\n"
           u"<table class=\"counts\"><tbody>\n"_s;
    const auto countRow = [&](const QString &id, const QString &name, qint64 n) {
        out += u"<tr><th>"_s + name + u"</th><td class=\"num\" id=\"count-"_s + id + u"\">"_s + countText(n) +
               u"</td></tr>\n"_s;
    };
    countRow(u"pages"_s, u"Pages"_s, summary.pages);
    countRow(u"rows"_s, u"Links found"_s, summary.rows);
    countRow(u"distinct"_s, u"Distinct addresses"_s, summary.distinct);
    for (int i = 1; i < kVerdictCount; ++i) {
        const auto v = static_cast<Verdict>(i);
        countRow(verdictName(v), u"<span class=\"verdict\">"_s + verdictName(v) + u"</span>"_s, summary.count(v));
    }
    out += u"</tbody></table>\n"_s + verdictChart(summary) + u"</div>\n</section>\n"_s;

    // Changes since the last crawl.
    out += u"<section id=\"changes\">\n"_s;
    if (end.changes) {
        const CrawlChanges &changes = *end.changes;
        out += u"<h2>Changes since the crawl of "_s + esc(reportTime(changes.previousStartedAt)) + u"</h2>\n"_s;
        out += u"<h3>Newly broken (<span id=\"count-newly-broken\">%1</span>)</h3>\n"_s.arg(changes.newlyBroken.size());
        out += changes.newlyBroken.isEmpty() ? u"<p class=\"empty\">None.</p>\n"_s : linkList(changes.newlyBroken);
        out += u"<h3>Fixed (<span id=\"count-fixed\">%1</span>)</h3>\n"_s.arg(changes.fixed.size());
        out += changes.fixed.isEmpty() ? u"<p class=\"empty\">None.</p>\n"_s : linkList(changes.fixed);
    } else {
        out += u"<h2>Changes since the last crawl</h2>\n<p class=\"empty\">No earlier crawl of this address to "
               u"compare with.</p>\n"_s;
    }
    out += u"</section>\n"_s;
    put(out);
    flush();

    // Problems.
    qsizetype errors = 0;
    for (const ReportFinding &f : std::as_const(m_findings)) {
        errors += reportLevel(f.verdict) == ReportLevel::Error ? 1 : 0;
    }
    out = u"<section id=\"problems-section\">\n<h2>Problems (<span id=\"count-problems\">%1</span>) and warnings "
          u"(<span id=\"count-warnings\">%2</span>)</h2>\n"_s.arg(errors)
              .arg(m_findings.size() - errors);
    if (m_findings.isEmpty()) {
        out += u"<p class=\"empty\">No broken, timed-out, unreachable, blocked or rate-limited links, no missing "
               u"fragments.</p>\n"_s;
    } else {
        out += u"<div class=\"controls\" id=\"controls\" hidden>\n<label>Filter <input id=\"filter-text\" "
               u"type=\"search\" placeholder=\"page, link, anchor, error\u2026\"></label>\n<label>Verdict <select "
               u"id=\"filter-verdict\"><option value=\"\">all</option>"_s;
        for (const Verdict v : reportedVerdicts()) {
            out += u"<option value=\"%1\">%1</option>"_s.arg(verdictName(v));
        }
        out +=
            u"</select></label>\n<span>Showing <output id=\"problems-shown\">%1</output> of %1</span>\n</div>\n"_s.arg(
                m_findings.size());
        out += u"<table id=\"problems\" class=\"list sortable\">\n<thead><tr><th>Page</th><th class=\"num\">Line</th>"
               u"<th>Link</th><th>Anchor</th><th>Verdict</th><th class=\"num\">Status</th><th>Final address</th>"
               u"<th>Error</th></tr></thead>\n<tbody>\n"_s;
        for (const ReportFinding &f : std::as_const(m_findings)) {
            const QString word = verdictName(f.verdict);
            out += u"<tr data-verdict=\"%1\" class=\"%2\"><td>"_s.arg(
                       word, reportLevel(f.verdict) == ReportLevel::Error ? u"error"_s : u"warning"_s) +
                   addressCell(f.page) + u"</td><td class=\"num\" data-key=\""_s + positionKey(f.line, f.column) +
                   u"\">"_s + positionText(f.line, f.column) + u"</td><td>"_s + addressCell(f.link) + u"</td><td>"_s +
                   esc(f.anchor) + u"</td><td class=\"verdict v-"_s + word + u"\">"_s + word +
                   u"</td><td class=\"num\">"_s + statusText(f.status) + u"</td><td>"_s + addressCell(f.finalUrl) +
                   u"</td><td>"_s + esc(f.error) + u"</td></tr>\n"_s;
            if (out.size() > kChunk) {
                put(out);
                flush();
                out.clear();
            }
        }
        out += u"</tbody>\n</table>\n"_s;
    }
    out += u"</section>\n"_s;
    m_findings.clear();

    // Pages.
    out += u"<section id=\"pages-section\">\n<h2>Pages (%1)</h2>\n"_s.arg(end.pages.size());
    out += u"<table id=\"pages\" class=\"list sortable\">\n<thead><tr><th>Page</th><th class=\"num\">Depth</th>"
           u"<th class=\"num\">Status</th><th>Verdict</th><th class=\"num\">Links</th><th class=\"num\">Inlinks</th>"
           u"<th>Error</th></tr></thead>\n<tbody>\n"_s;
    for (const CrawlPage &page : end.pages) {
        const QString word = verdictName(page.verdict);
        out += u"<tr data-verdict=\"%1\"><td>"_s.arg(word) + addressCell(page.url) + u"</td><td class=\"num\">"_s +
               QString::number(page.depth) + u"</td><td class=\"num\">"_s + statusText(page.status) +
               u"</td><td class=\"verdict v-"_s + word + u"\">"_s + word + u"</td><td class=\"num\">"_s +
               QString::number(page.links) + u"</td><td class=\"num\">"_s + QString::number(page.inlinks) +
               u"</td><td>"_s + esc(page.error) + u"</td></tr>\n"_s;
        if (out.size() > kChunk) {
            put(out);
            flush();
            out.clear();
        }
    }
    out += u"</tbody>\n</table>\n</section>\n"_s;

    if (!end.orphans.isEmpty()) {
        out += u"<section id=\"orphans\">\n<h2>Sitemap pages no crawled page links to (%1)</h2>\n"_s.arg(
                   end.orphans.size()) +
               linkList(end.orphans) + u"</section>\n"_s;
    }
    out += u"<footer>Written by quorvel "_s + esc(projectAppVersion()) + u".</footer>\n<script>"_s + code +
           u"</script>\n</body>\n</html>\n"_s;
    put(out);
    flush(true);
}

} // namespace quorvel
