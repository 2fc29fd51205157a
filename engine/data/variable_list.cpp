#include "engine/data/variable_list.h"

#include <algorithm>

namespace engine::data {

namespace {

bool atListEnd(const Args& args, std::initializer_list<std::string_view> stopWords) {
  if (args.atEnd() || args.peek().cls != kTokenName) return true;
  return std::any_of(stopWords.begin(), stopWords.end(),
                     [&](std::string_view word) { return args.nextIsWord(word); });
}

std::int64_t lookUp(const Args& args, const Dictionary& dictionary, const std::string& name) {
  const std::int64_t index = dictionary.find(name);
  if (index == 0) args.fail("There is no variable named " + name + ".");
  return index;
}

// `listed` has one flag per variable, so that ALL over a million variables
// is not a search of the list for each.
void addOnce(std::vector<std::int64_t>& list, std::vector<bool>& listed, std::int64_t index) {
  if (listed[static_cast<std::size_t>(index - 1)]) return;
  listed[static_cast<std::size_t>(index - 1)] = true;
  list.push_back(index);
}

}  // namespace

std::vector<std::int64_t> parseVariableList(Args& args, const Dictionary& dictionary,
                                            std::initializer_list<std::string_view> stopWords) {
  std::vector<std::int64_t> list;
  std::vector<bool> listed(dictionary.size());
  while (!atListEnd(args, stopWords)) {
    if (args.nextIsWord("ALL")) {
      args.next();
      for (std::size_t k = 1; k <= dictionary.size(); ++k)
        addOnce(list, listed, static_cast<std::int64_t>(k));
      continue;
    }
    const std::string first = args.expectName();
    const std::int64_t from = lookUp(args, dictionary, first);
    if (!args.nextIsWord("TO")) {
      addOnce(list, listed, from);
      continue;
    }
    args.next();
    if (args.atEnd() || args.peek().cls != kTokenName) args.fail("TO must be followed by a name.");
    const std::string last = args.expectName();
    const std::int64_t to = lookUp(args, dictionary, last);
    if (to < from) args.fail(first + " TO " + last + ": " + last + " comes before " + first + ".");
    for (std::int64_t k = from; k <= to; ++k) addOnce(list, listed, k);
  }
  if (list.empty()) {
    args.fail(args.atEnd() ? "A variable list is missing at the end of the command."
                           : "Expected a variable name before \"" + args.peek().text + "\".");
  }
  return list;
}

}  // namespace engine::data
