// When the environment names a file in KILN_GUI_STATE, the toolkit writes
// there, as JSON, the kind, text and value of every control at each wait and after
// each wait that returns an event, and the title and starting text of each dialog as it
// opens. An X server shows pixels, not texts: this is how end-to-end tests
// read what the window shows. Without the variable nothing is written.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/gui_internal.h"

namespace {

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

struct LastDialog {
  std::string kind, title, start;
};
LastDialog lastDialog;

void WriteReport(const char* path) {
  std::string json = "{\"controls\":{";
  bool first = true;
  for (const int number : ControlNumbers()) {
    if (!first) json += ',';
    first = false;
    json += '"' + std::to_string(number) + "\":{\"kind\":" + std::to_string(ControlKindOf(number)) + ",\"text\":";
    AppendJsonString(json, ControlText(number));
    json += ",\"value\":" + std::to_string(ControlValue(number)) + '}';
  }
  json += "},\"dialog\":{\"kind\":";
  AppendJsonString(json, lastDialog.kind);
  json += ",\"title\":";
  AppendJsonString(json, lastDialog.title);
  json += ",\"start\":";
  AppendJsonString(json, lastDialog.start);
  json += "}}\n";

  // Written beside the file and renamed, so a reader never sees half of it.
  const std::string temp = std::string(path) + ".part";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return;
  const bool written = std::fwrite(json.data(), 1, json.size(), f) == json.size();
  if (std::fclose(f) == 0 && written) std::rename(temp.c_str(), path);
}

}  // namespace

void ReportGuiState() {
  if (const char* path = std::getenv("KILN_GUI_STATE"); path && *path) WriteReport(path);
}

void ReportDialog(std::string_view kind, std::string_view title, std::string_view start) {
  lastDialog = {std::string(kind), std::string(title), std::string(start)};
  ReportGuiState();
}
