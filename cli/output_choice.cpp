#include "cli/output_choice.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace cli {

std::optional<std::string> formatOfExtension(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // ".long.csv" before ".csv": the long form is a CSV file too.
  if (name.size() > 9 && name.ends_with(".long.csv")) return "long";
  const std::string extension = std::filesystem::path(name).extension().string();
  if (extension == ".csv") return "csv";
  if (extension == ".txt") return "text";
  if (extension == ".json") return "json";
  if (extension == ".html") return "html";
  return std::nullopt;
}

std::optional<std::string> chooseFormat(bool given, const std::string& format,
                                        const std::string& outputPath, std::string& error) {
  const std::optional<std::string> implied =
      outputPath.empty() ? std::nullopt : formatOfExtension(outputPath);
  if (!given) return implied.value_or("text");
  if (implied && *implied != format) {
    error = "--format " + format + " contradicts the output file " + outputPath + ", which is " +
            *implied + " by its extension";
    return std::nullopt;
  }
  return format;
}

bool messagesNeedCopy(const std::string& format, const std::string& outputPath,
                      bool stdoutIsTerminal) {
  return format != "text" || !outputPath.empty() || !stdoutIsTerminal;
}

}  // namespace cli
