// Which format the output takes and whether the messages need a copy on
// standard error: decided from the command line and where the output goes.
#pragma once

#include <optional>
#include <string>

namespace cli {

// The format named by an output file's extension (".txt" text, ".json" json,
// ".html" html, ".csv" csv, ".long.csv" long, in any case); none for any
// other name.
std::optional<std::string> formatOfExtension(const std::string& path);

// The output format: --format when given (`given`), else the extension of the
// -o file, else text. A --format that contradicts the extension is a mistake
// on the command line: none, with the reason in `error`.
std::optional<std::string> chooseFormat(bool given, const std::string& format,
                                        const std::string& outputPath, std::string& error);

// Errors and warnings are copied to standard error unless the document itself
// is text on a terminal, where they are already shown in their place.
bool messagesNeedCopy(const std::string& format, const std::string& outputPath,
                      bool stdoutIsTerminal);

}  // namespace cli
