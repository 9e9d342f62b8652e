// lyrutil frame, number and axis: the instrument's frames and the suite's numbers from a shell.
#include "audit_files.h"
#include "commands.h"
#include "text_encoding.h"
#include "tool_error.h"
#include "tool_runtime.h"

#include <LyrUtil.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

// A frame is a line of text of a few hundred characters; anything near this size is not one.
constexpr size_t kMaxFrameBytes = 64 * 1024;

std::string ReadFrameText(const std::string& source) {
  std::string text = ReadWholeFile(source, kMaxFrameBytes);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.find('\0') != std::string::npos) throw ToolError(source + ": not a frame (binary)");
  return text;
}

nlohmann::ordered_json DecodeFrame(const std::string& text, bool full) {
  Q7400Struct method;
  __structProgPressTemp events;
  std::memset(&method, 0xA5, sizeof method);  // a pattern no decoded frame leaves
  std::memset(&events, 0, sizeof events);
  Q7400Struct untouched = method;
  std::string frame = text;
  Unzip(full ? 1 : 0, &frame[0], method, events);
  if (std::memcmp(&method, &untouched, sizeof method) == 0)
    throw ToolError("the frame does not decode: it is not in the instrument's form");
  nlohmann::ordered_json j;
  if (full) {
    j["fields"] = {{"1", method.nField1},   {"2", method.dField2},   {"3", method.nField3},
                   {"4", method.dField4},   {"5", method.nField5},   {"6", method.dField6},
                   {"7", method.dField7},   {"8", method.dField8},   {"9", method.dField9},
                   {"10", method.dField10}, {"11", method.dField11}, {"12", method.nField12},
                   {"13", method.nField13}, {"14", method.dField14}, {"15", method.dField15},
                   {"16", method.dField16}, {"17", method.dField17}, {"18", method.nField18}};
    nlohmann::ordered_json table = nlohmann::ordered_json::array();
    for (int i = 0; i < 15; ++i) {
      if (!events.bUsed[i]) continue;
      table.push_back({{"time_s", events.nTime[i]},
                       {"code", std::string(1, events.cCode[i])},
                       {"value", events.nValue[i]}});
    }
    j["events"] = table;
  } else {
    j["fields"] = {{"9", method.dShortField9}};
  }
  std::string name = static_cast<const char*>(UnZipTrame(full ? 1 : 0, &frame[0]));
  j["name"] = Cp1252ToUtf8(name);
  return j;
}

void AddFrame(CLI::App& app, Action& action) {
  auto* frame = app.add_subcommand("frame", "the instrument's packed method frames");
  frame->require_subcommand(1);
  auto* decode = frame->add_subcommand("decode", "the decoded fields, time table and name");
  auto source = std::make_shared<std::string>();
  auto shortFrame = std::make_shared<bool>(false);
  auto format = std::make_shared<std::string>("text");
  decode->add_option("FILE", *source, "the frame's text, or - for standard input")->required();
  decode->add_flag("--short", *shortFrame, "the short frame of 13 fields");
  decode->add_option("-o,--output", *format, "text or json");
  decode->callback([=, &action] {
    action = [=] {
      StartLibrary();
      nlohmann::ordered_json j = DecodeFrame(ReadFrameText(*source), !*shortFrame);
      if (*format == "json") {
        std::cout << DumpJson(j, 2) << "\n";
        return 0;
      }
      if (*format != "text") throw ToolError("unknown output format \"" + *format + "\"");
      for (const auto& [field, value] : j["fields"].items())
        std::cout << "field " << field << ": " << value << "\n";
      if (j.contains("events")) {
        for (const auto& e : j["events"])
          std::cout << "event at " << e["time_s"] << " s: " << e["code"].get<std::string>() << " "
                    << e["value"] << "\n";
      }
      std::cout << "name: " << j["name"].get<std::string>() << "\n";
      return 0;
    };
  });
}

void AddNumber(CLI::App& app, Action& action) {
  auto* number = app.add_subcommand("number", "the suite's number texts");
  number->require_subcommand(1);
  auto* format = number->add_subcommand("format", "a value as a field shows it");
  auto value = std::make_shared<double>(0);
  auto decimals = std::make_shared<unsigned short>(2);
  auto width = std::make_shared<unsigned short>(10);
  format->add_option("VALUE", *value, "the value")->required();
  format->add_option("--decimals", *decimals, "decimals")->capture_default_str();
  format->add_option("--width", *width, "at most this many characters")->capture_default_str();
  format->callback([=, &action] {
    action = [=] {
      std::vector<char> out(std::max<size_t>(*width + 1u, 8u) + 1, '\0');
      FormatFloatString(*value, out.data(), *decimals, *width, 0);
      std::cout << out.data() << "\n";
      return 0;
    };
  });
  auto* parse = number->add_subcommand("parse", "a typed text as a field reads it");
  auto text = std::make_shared<std::string>();
  parse->add_option("TEXT", *text, "the text")->required();
  parse->callback([=, &action] {
    action = [=] {
      std::string copy = *text;
      double result = 0;
      if (Lyra_atof(&result, &copy[0]) != 0)
        throw ToolError("\"" + *text + "\" cannot be read as a number");
      std::cout.precision(17);
      std::cout << result << "\n";
      return 0;
    };
  });
}

// The ticks with as many significant digits as it takes to tell them apart (at least 6): six
// alone print 123456.8 and 123456.85 both as "123457".
std::string TickTexts(const AxisStruct& axis) {
  std::string line;
  for (int digits = 6; digits <= 17; ++digits) {
    std::vector<std::string> texts;
    for (LONG i = 0; i < axis.nCount; ++i) {
      char text[64];
      std::snprintf(text, sizeof text, "%.*g", digits, axis.dValues[i]);
      texts.push_back(text);
    }
    bool distinct = true;
    for (size_t i = 1; i < texts.size(); ++i) distinct = distinct && texts[i] != texts[i - 1];
    line.clear();
    for (const std::string& text : texts) line += (line.empty() ? "" : " ") + text;
    if (distinct) break;
  }
  return line;
}

void AddAxis(CLI::App& app, Action& action) {
  auto* axis = app.add_subcommand("axis", "the ticks of a plot axis from LO to HI");
  auto lo = std::make_shared<double>(0);
  auto hi = std::make_shared<double>(0);
  axis->add_option("LO", *lo, "lowest value")->required();
  axis->add_option("HI", *hi, "highest value")->required();
  axis->callback([=, &action] {
    action = [=] {
      AxisStruct result;
      GetAxis(*lo, *hi, result);
      std::cout << TickTexts(result) << "\n";
      return 0;
    };
  });
}

}  // namespace

void AddDataCommands(CLI::App& app, Action& action) {
  AddFrame(app, action);
  AddNumber(app, action);
  AddAxis(app, action);
}
