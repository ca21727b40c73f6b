#include "outputs/html_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string_view>

#include "outputs/folder_text.h"

namespace brindlewick {
namespace {

constexpr std::string_view kStyle = R"(
body{font:14px/1.4 system-ui,sans-serif;margin:1.5em;color:#222}
table{border-collapse:collapse}
th,td{border:1px solid #ccc;padding:2px 6px;text-align:left;vertical-align:top}
th{background:#eee;cursor:pointer;user-select:none}
th.asc::after{content:" \25B2"}th.desc::after{content:" \25BC"}
td.num{text-align:right;font-variant-numeric:tabular-nums}
tr.differ td,tr.failed td,tr.only_in_dir1 td,tr.only_in_dir2 td{background:#fdecea}
tr.identical td{color:#555}
section.detail{margin:2em 0;border-top:1px solid #ccc}
svg text{font:11px sans-serif}
)";

// Sorts the table by the address's "#sort=KEY" (or "-KEY" for descending), or by a click on a
// header (a second click turns the order round), which then sets the address; "order" is the
// page's own order. Then counts the pictures that loaded and notes when (data-ready-ms:
// milliseconds since the page began to load).
constexpr std::string_view kScript = R"(
(function(){
var table=document.getElementById('rows');
var heads=table.tHead.rows[0].cells;
function value(row,key,num){
  var v=row.getAttribute('data-'+key);
  if(v===null||v==='')return null;
  return num?Number(v):v;
}
function sortBy(sorting){
  var desc=sorting.charAt(0)==='-',key=desc?sorting.slice(1):sorting;
  var head=table.querySelector('th[data-key="'+key+'"]');
  if(!head)return;
  var num=head.getAttribute('data-type')==='num';
  var body=table.tBodies[0],rows=Array.prototype.slice.call(body.rows);
  rows.sort(function(a,b){
    var x=value(a,key,num),y=value(b,key,num),c=0;
    if(x===null||(typeof x==='number'&&isNaN(x)))c=(y===null||(typeof y==='number'&&isNaN(y)))?0:1;
    else if(y===null||(typeof y==='number'&&isNaN(y)))c=-1;
    else c=(x<y?-1:x>y?1:0)*(desc?-1:1);
    return c||Number(a.getAttribute('data-order'))-Number(b.getAttribute('data-order'));
  });
  rows.forEach(function(r){body.appendChild(r);});
  for(var i=0;i<heads.length;i++){
    var k=heads[i].getAttribute('data-key');
    heads[i].className=k===key&&key!=='order'?(desc?'desc':'asc'):'';
  }
  table.setAttribute('data-sorted',sorting);
}
function fromHash(){
  var m=/^#sort=(-?[a-z_]+)$/.exec(location.hash);
  sortBy(m?m[1]:'order');
}
for(var i=0;i<heads.length;i++){
  heads[i].addEventListener('click',function(){
    var k=this.getAttribute('data-key');
    var sorting=(table.getAttribute('data-sorted')===k?'-':'')+k;
    sortBy(sorting);
    history.replaceState(null,'','#sort='+sorting);
  });
}
window.addEventListener('hashchange',fromHash);
fromHash();
function countImages(){
  var images=document.images,loaded=0;
  for(var i=0;i<images.length;i++)if(images[i].complete&&images[i].naturalWidth>0)loaded++;
  document.body.setAttribute('data-images-loaded',loaded+'/'+images.length);
  document.body.setAttribute('data-ready-ms',Math.round(performance.now()));
}
if(document.readyState==='complete')countImages();else window.addEventListener('load',countImages);
})();
)";

struct ColumnInfo {
  std::string_view key, title;
  bool numeric;
};

enum Column : std::size_t {
  kOrderColumn,
  kPathColumn,
  kVariableColumn,
  kVerdictColumn,
  kCategoriesColumn,
  kComparedColumn,
  kDifferingColumn,
  kMaxColumn,
  kPlaceColumn,
  kRmsColumn,
  kMarginColumn,
};

// In the order of Column.
constexpr ColumnInfo kColumns[] = {
    {"order", "#", true},
    {"path", "File", false},
    {"variable", "Variable", false},
    {"verdict", "Verdict", false},
    {"categories", "Categories", false},
    {"compared", "Cells compared", true},
    {"differing", "Differing", true},
    {"max_abs", "Largest |difference|", true},
    {"place", "Where", false},
    {"rms", "RMS difference", true},
    {"margin", "Margin", true},
};
static_assert(std::size(kColumns) == kMarginColumn + 1);

// A number as JavaScript's Number() reads it back.
std::string script_number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  return figure_text(v);
}

void put_cell(std::string& out, std::string_view text, bool numeric) {
  out += numeric ? "<td class=\"num\">" : "<td>";
  out += xml_escaped(text);
  out += "</td>";
}

std::string count_text(std::uint64_t n) {
  return std::to_string(static_cast<unsigned long long>(n));
}

std::string detail_id(std::size_t k) { return "detail-" + std::to_string(k); }

// The row of one entry; `k` numbers it in the page's order, `detail` names its section.
void put_row(std::string& out, const ReportEntry& e, std::size_t k, const std::string& detail) {
  // What each cell shows, and the value its data- attribute gives a script (numbers as
  // Number() reads them back).
  struct Field {
    std::string text, value;
  };
  Field f[std::size(kColumns)];
  const auto set = [&](Column column, std::string text) {
    f[column].text = f[column].value = text;
  };
  set(kOrderColumn, std::to_string(k + 1));
  set(kPathColumn, e.pair->path);
  set(kVerdictColumn, std::string(e.verdict));
  set(kCategoriesColumn, e.categories);
  if (const VariableFigures* v = e.variable; v == nullptr) {
    set(kPlaceColumn, e.note);
  } else {
    set(kVariableColumn, v->name);
    set(kComparedColumn, count_text(v->compared));
    set(kDifferingColumn, count_text(v->differing));
    if (v->differing > 0) {
      f[kMaxColumn] = {figure_text(v->max_abs), script_number(v->max_abs)};
      set(kPlaceColumn, place_text(v->max_place));
      f[kRmsColumn] = {figure_text(v->rms), script_number(v->rms)};
      f[kMarginColumn] = {figure_text(v->margin), script_number(v->margin)};
    }
  }
  out += "<tr class=\"";
  out += e.verdict;
  out += '"';
  for (std::size_t i = 0; i < std::size(kColumns); ++i) {
    out += " data-";
    out += kColumns[i].key;
    out += "=\"" + xml_escaped(f[i].value) + '"';
  }
  out += '>';
  for (std::size_t i = 0; i < std::size(kColumns); ++i) {
    if (i == kVariableColumn && !detail.empty()) {
      out += "<td><a href=\"#" + detail + "\">" + xml_escaped(f[i].text) + "</a></td>";
    } else {
      put_cell(out, f[i].text, kColumns[i].numeric);
    }
  }
  out += "</tr>\n";
}

constexpr double kPlotWidth = 640, kPlotHeight = 220, kPlotLeft = 70, kPlotRight = 20,
                 kPlotTop = 24, kPlotBottom = 40;

std::string step_text(const PairStepFigures& s) {
  char text[32];
  std::snprintf(text, sizeof text, "%07d:%06d", s.jdate, s.jtime);
  return text;
}

// A polyline of one figure over the steps, finite values only, with a dot on each point when
// there are few (so that a single step still shows).
void put_line(std::string& out, const std::vector<PairStepFigures>& steps, double top,
              double PairStepFigures::*figure, std::string_view colour) {
  const double w = kPlotWidth - kPlotLeft - kPlotRight, h = kPlotHeight - kPlotTop - kPlotBottom;
  std::vector<std::string> points;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const double y = steps[i].*figure;
    if (!std::isfinite(y)) continue;
    const double along =
        steps.size() == 1 ? 0.5 : static_cast<double>(i) / static_cast<double>(steps.size() - 1);
    char text[64];
    std::snprintf(text, sizeof text, "%.1f,%.1f", kPlotLeft + w * along,
                  kPlotTop + h - (top > 0 ? h * y / top : 0.0));
    points.emplace_back(text);
  }
  if (points.empty()) return;
  out += "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"";
  out += colour;
  out += "\" points=\"";
  for (const std::string& p : points) out += p + " ";
  out.back() = '"';
  out += "/>";
  if (points.size() > 48) return;
  for (const std::string& p : points) {
    const std::size_t comma = p.find(',');
    out += "<circle r=\"3\" fill=\"";
    out += colour;
    out += "\" cx=\"" + p.substr(0, comma) + "\" cy=\"" + p.substr(comma + 1) + "\"/>";
  }
}

// The largest and RMS difference of each step, on one linear axis from 0.
void put_step_plot(std::string& out, const VariableFigures& v) {
  double top = 0.0;
  for (const PairStepFigures& s : v.steps) {
    if (std::isfinite(s.max_abs)) top = std::max(top, s.max_abs);
    if (std::isfinite(s.rms)) top = std::max(top, s.rms);
  }
  char head[200];
  std::snprintf(head, sizeof head,
                "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"steps\" width=\"%.0f\" "
                "height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">",
                kPlotWidth, kPlotHeight, kPlotWidth, kPlotHeight);
  out += head;
  const double bottom = kPlotHeight - kPlotBottom, right = kPlotWidth - kPlotRight;
  char axes[400];
  std::snprintf(axes, sizeof axes,
                "<path fill=\"none\" stroke=\"#888\" d=\"M%.0f %.0fV%.0fH%.0f\"/>"
                "<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"end\">0</text>"
                "<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"end\">",
                kPlotLeft, kPlotTop, bottom, right, kPlotLeft - 4, bottom + 4, kPlotLeft - 4,
                kPlotTop + 4);
  out += axes;
  out += xml_escaped(figure_text(top)) + "</text>";
  if (!v.steps.empty()) {
    char labels[300];
    std::snprintf(labels, sizeof labels,
                  "<text x=\"%.0f\" y=\"%.0f\">%s</text>"
                  "<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"end\">%s</text>",
                  kPlotLeft, bottom + 16, step_text(v.steps.front()).c_str(), right, bottom + 16,
                  step_text(v.steps.back()).c_str());
    out += labels;
  }
  put_line(out, v.steps, top, &PairStepFigures::max_abs, "#b2182b");
  put_line(out, v.steps, top, &PairStepFigures::rms, "#2166ac");
  char legend[300];
  std::snprintf(legend, sizeof legend,
                "<text x=\"%.0f\" y=\"14\" fill=\"#b2182b\">largest |difference|</text>"
                "<text x=\"%.0f\" y=\"14\" fill=\"#2166ac\">RMS difference</text>"
                "<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">step (%zu)</text></svg>",
                kPlotLeft, kPlotLeft + 160, kPlotLeft + (right - kPlotLeft) / 2, bottom + 32,
                v.steps.size());
  out += legend;
}

// width="W" height="H" from a PNG's header, so that the page is laid out once, before the
// pictures are decoded; empty when the bytes do not begin like a PNG.
std::string size_attributes(std::string_view png) {
  // The signature, then the first chunk's length (13) and type.
  constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  if (png.size() < 24 || png.substr(0, kSignature.size()) != kSignature) return "";
  const auto word = [&](std::size_t at) {
    std::uint32_t w = 0;
    for (std::size_t i = 0; i < 4; ++i) w = w << 8 | static_cast<unsigned char>(png[at + i]);
    return w;
  };
  return " width=\"" + std::to_string(word(16)) + "\" height=\"" + std::to_string(word(20)) + '"';
}

void put_detail(std::string& out, const ReportEntry& e, const std::string& id,
                const std::string& png) {
  const VariableFigures& v = *e.variable;
  const std::string name = e.pair->path + ": " + v.name;
  out += "<section class=\"detail\" id=\"" + id + "\"><h3>" + xml_escaped(name) + "</h3>\n<p>";
  out += xml_escaped(count_text(v.differing) + " of " + count_text(v.compared) +
                     " cells differ; largest |difference| " + figure_text(v.max_abs) + " at " +
                     place_text(v.max_place) + "; RMS difference " + figure_text(v.rms));
  out += "</p>\n";
  if (!png.empty()) {
    out += "<figure><img alt=\"difference map of " + xml_escaped(name) + '"' +
           size_attributes(png) + " decoding=\"async\" src=\"data:image/png;base64,";
    out += base64(png);
    out += "\"></figure>\n";
  }
  if (!v.steps.empty()) {
    out += "<figure>";
    put_step_plot(out, v);
    out += "</figure>\n";
  }
  out += "</section>\n";
}

std::string totals_text(const FolderResult& result) {
  std::uint64_t n[5] = {};
  for (const PairResult& p : result.pairs) ++n[static_cast<int>(p.verdict)];
  return count_text(result.pairs.size()) + " files: " + count_text(n[0]) + " identical, " +
         count_text(n[1]) + " differ, " + count_text(n[2]) + " failed, " + count_text(n[3]) +
         " only in " + result.dir1 + ", " + count_text(n[4]) + " only in " + result.dir2;
}

bool read_file(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes.clear();
  char chunk[1 << 16];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  const bool ok = std::ferror(file) == 0;
  return std::fclose(file) == 0 && ok;
}

}  // namespace

std::string base64(std::string_view bytes) {
  constexpr std::string_view kDigits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  const auto at = [&](std::size_t k) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[k]));
  };
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned w = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
    out += kDigits[w >> 18];
    out += kDigits[w >> 12 & 63];
    out += kDigits[w >> 6 & 63];
    out += kDigits[w & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const unsigned w = at(i) << 16 | (two ? at(i + 1) << 8 : 0);
    out += kDigits[w >> 18];
    out += kDigits[w >> 12 & 63];
    out += two ? kDigits[w >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

std::string html_text(const FolderResult& result, const std::vector<std::string>& maps) {
  std::vector<ReportEntry> entries = report_entries(result);
  // The page's order: differing rows first, each group in the run's order.
  std::stable_partition(entries.begin(), entries.end(),
                        [](const ReportEntry& e) { return e.differs(); });
  const std::string title = "brindlewick: " + result.dir1 + " against " + result.dir2;
  std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>";
  out += xml_escaped(title);
  out += "</title>\n<style>";
  out += kStyle;
  out += "</style></head>\n<body>\n<h1>" + xml_escaped(title) + "</h1>\n<p id=\"totals\">" +
         xml_escaped(totals_text(result)) + "</p>\n<table id=\"rows\"><thead><tr>";
  for (const ColumnInfo& c : kColumns) {
    out += "<th data-key=\"";
    out += c.key;
    out += c.numeric ? "\" data-type=\"num\">" : "\">";
    out += xml_escaped(c.title);
    out += "</th>";
  }
  out += "</tr></thead>\n<tbody>\n";
  // The maps are numbered by the variables in the run's order; the sections by the rows.
  std::map<const VariableFigures*, std::size_t> map_index;
  for (const PairResult& p : result.pairs) {
    for (const VariableFigures& v : p.variables) map_index.emplace(&v, map_index.size());
  }
  std::string details;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const ReportEntry& e = entries[k];
    std::string id;
    if (e.variable != nullptr && e.differs()) {
      id = detail_id(k);
      const std::size_t m = map_index.at(e.variable);
      put_detail(details, e, id, m < maps.size() ? maps[m] : std::string());
    }
    put_row(out, e, k, id);
  }
  out += "</tbody></table>\n";
  out += details;
  out += "<script>";
  out += kScript;
  out += "</script>\n</body></html>\n";
  return out;
}

bool write_html(const FolderResult& result, const std::string& path, std::string& error) {
  std::vector<std::string> maps;
  for (const PairResult& p : result.pairs) {
    for (const VariableFigures& v : p.variables) {
      maps.emplace_back();
      if (v.map_png.empty() || v.differing == 0) continue;
      if (!read_file(v.map_png, maps.back())) {
        error = "Could not read difference map \"" + v.map_png + "\"";
        return false;
      }
    }
  }
  return write_text_file(html_text(result, maps), path, "HTML report", error);
}

}  // namespace brindlewick
