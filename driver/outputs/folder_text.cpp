#include "outputs/folder_text.h"

#include <cstdio>

#include "outputs/number_text.h"

namespace brindlewick {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at text[i], or 0 when the bytes there are not one.
std::size_t utf8_length(std::string_view text, std::size_t i) noexcept {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return n;
}

}  // namespace

std::string_view verdict_name(PairVerdict verdict) noexcept {
  switch (verdict) {
    case PairVerdict::kIdentical:
      return "identical";
    case PairVerdict::kDiffer:
      return "differ";
    case PairVerdict::kFailed:
      return "failed";
    case PairVerdict::kOnlyInDir1:
      return "only_in_dir1";
    case PairVerdict::kOnlyInDir2:
      return "only_in_dir2";
  }
  return "failed";
}

std::vector<ReportEntry> report_entries(const FolderResult& result) {
  std::vector<ReportEntry> entries;
  for (const PairResult& pair : result.pairs) {
    ReportEntry own{&pair, nullptr, verdict_name(pair.verdict), "", pair.reason};
    switch (pair.verdict) {
      case PairVerdict::kFailed:
        entries.push_back(own);
        continue;
      case PairVerdict::kOnlyInDir1:
      case PairVerdict::kOnlyInDir2:
        if (own.note.empty()) {
          own.note = "only in ";
          own.note += pair.verdict == PairVerdict::kOnlyInDir1 ? result.dir1 : result.dir2;
        }
        entries.push_back(own);
        continue;
      case PairVerdict::kIdentical:
      case PairVerdict::kDiffer:
        break;
    }
    std::vector<std::string> beyond;
    for (const std::string& c : pair.categories) {
      if (c != "cells") beyond.push_back(c);
    }
    if (pair.verdict == PairVerdict::kDiffer && !beyond.empty()) {
      own.categories = categories_text(beyond);
      own.note = "differs in " + own.categories + (pair.reason.empty() ? "" : ": " + pair.reason);
      entries.push_back(own);
    } else if (pair.variables.empty()) {
      entries.push_back(own);
    }
    for (const VariableFigures& v : pair.variables) {
      const bool differs = v.differing > 0;
      entries.push_back({&pair, &v,
                         verdict_name(differs ? PairVerdict::kDiffer : PairVerdict::kIdentical),
                         differs ? "cells" : "", ""});
    }
  }
  return entries;
}

std::string place_text(const DifferencePlace& place) {
  char text[160];
  std::snprintf(text, sizeof text, "%07d:%06d, layer %d, column %d, row %d, lat ", place.jdate,
                place.jtime, place.layer, place.column, place.row);
  std::string out = text;
  append_shortest(out, place.latitude);
  out += ", lon ";
  append_shortest(out, place.longitude);
  return out;
}

std::string figure_text(double v) {
  std::string out;
  append_shortest(out, v);
  return out;
}

std::string categories_text(const std::vector<std::string>& categories) {
  std::string out;
  for (const std::string& c : categories) {
    if (!out.empty()) out += ", ";
    out += c;
  }
  return out;
}

std::string xml_escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
      const std::size_t n = utf8_length(text, i);
      if (n == 0) {
        out += kReplacement;
        ++i;
      } else {
        out.append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    ++i;
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') {
          out += kReplacement;
        } else {
          out += c;
        }
    }
  }
  return out;
}

bool write_text_file(const std::string& text, const std::string& path, std::string_view what,
                     std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  bool written = false;
  if (file != nullptr) {
    written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
  }
  if (!written) {
    error = "Could not write ";
    error += what;
    error += " \"" + path + "\"";
  }
  return written;
}

}  // namespace brindlewick
