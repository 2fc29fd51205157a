// Matrix-file services of the host interface: the file specifications of
// MATRIX=IN and OUT, the matrix input read row by row and group by group, and
// the matrix output built entry by entry and row by row. The files themselves
// are CSV files with their sidecar (docs/matrix-files.md); * is the working
// data.
#include "engine/services/matrix_files.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "engine/core/activity.h"
#include "engine/core/session.h"
#include "engine/core/timing.h"
#include "engine/data/matrix_reader.h"
#include "engine/data/matrix_writer.h"
#include "engine/data/number_text.h"
#include "engine/output/builder.h"
#include "engine/output/catalogue.h"
#include "engine/services/case_reader.h"
#include "engine/services/written_matrix.h"
#include "host/tavixwlib.h"

namespace {

using engine::DataError;
using engine::MatrixReader;
using engine::MatrixWriter;
using engine::Session;

// The matrix files of the command being run.
struct MatrixFiles {
  std::unique_ptr<MatrixReader> input;
  bool inputOpen = false;
  bool outputGiven = false;
  bool outputStarted = false;                       // a procedure began the file's dictionary
  std::optional<std::filesystem::path> outputFile;  // none: the working data
  std::unique_ptr<MatrixWriter> output;
  std::vector<std::int64_t> outputGroupVariables;  // where rows take their split values
  // MATRIX=OUT(*) while the caller keeps written matrices: the rows go to the
  // kept matrix (engine/services/written_matrix.h) instead of the writer,
  // which then only holds the dictionary. Decided once per output, as the
  // writer is made, since every value written asks.
  bool keepRows = false;
  // While keeping: the kept matrix's values, which the row being written
  // adds to; null between rows.
  std::vector<double>* keptValues = nullptr;
  // What the message says was being done when memory runs out in one of the
  // services below: "reading the matrix file m.csv".
  std::string inputStep;
  std::string outputStep;
};

MatrixFiles& files() {
  static MatrixFiles state;
  return state;
}

bool keepingRows(const MatrixFiles& f) { return f.keepRows && f.output; }

// The current token as a file specification: a quoted file name, or * for
// the working data. Returns false (after an error) for anything else.
bool parseSpecification(bool& workingData) {
  Session& s = Session::current();
  const HostToken& t = s.token;
  MatrixFileState& m = s.matrix;
  if (!isTrue(t.endOfCommand) && t.tokenClass == kTokenDelimiter && t.delimiter == kDelimStar) {
    workingData = true;
    return true;
  }
  if (isTrue(t.endOfCommand) || t.tokenClass != kTokenString) {
    s.message(3, "A matrix file is given as a quoted file name or *.");
    return false;
  }
  const std::string_view name(t.text, static_cast<std::size_t>(t.length));
  if (name.empty() || name.size() > sizeof m.fileName) {
    s.message(3,
              "A matrix file name has 1 to " + std::to_string(sizeof m.fileName) + " characters.");
    return false;
  }
  std::fill(std::begin(m.fileName), std::end(m.fileName), ' ');
  std::copy(name.begin(), name.end(), m.fileName);
  workingData = false;
  return true;
}

std::filesystem::path specifiedPath() {
  const MatrixFileState& m = Session::current().matrix;
  const std::string_view name(m.fileName, sizeof m.fileName);
  return std::string(name.substr(0, ICHWDC(name)));
}

// The steps named when memory runs out (engine/core/activity.h), for the file
// specification just parsed.
std::string readingStep(bool workingData) {
  return workingData ? std::string("reading the matrix in the working data")
                     : "reading the matrix file " + specifiedPath().string();
}

std::string writingStep(bool workingData) {
  return workingData ? std::string("writing the matrix to the working data")
                     : "writing the matrix file " + specifiedPath().string();
}

std::vector<std::int64_t> splitVariablesShown() {
  const HostGlobal& g = Session::current().global;
  const auto count = static_cast<std::size_t>(std::clamp<Word>(g.splitCount, 0, 8));
  return {g.splitVars, g.splitVars + count};
}

// Where ROWTYPE_, VARNAME_ and the proximity variables are; false (after an
// error) when the dictionary is not that of a matrix data file.
bool describeInput(const MatrixReader& input, bool workingData) {
  Session& s = Session::current();
  const engine::Dictionary& d = input.dictionary();
  const std::string name =
      workingData ? std::string("The working data") : "The matrix file " + input.source();
  const std::int64_t rowtype = d.find("ROWTYPE_");
  const std::int64_t varname = d.find("VARNAME_");
  if (rowtype == 0) {
    s.message(3, name +
                     " has no variable ROWTYPE_, so it holds no matrix (see "
                     "docs/matrix-files.md for what a matrix data file holds).");
    return false;
  }
  if (varname != 0 && varname < rowtype) {
    s.message(3, name +
                     " has VARNAME_ before ROWTYPE_; a matrix data file has its split-file "
                     "variables, ROWTYPE_, ID and CASENO_, VARNAME_, then the proximities.");
    return false;
  }
  for (const auto& [index, what] : {std::pair{rowtype, "the row type PROX"},
                                    std::pair{varname, "the names of the proximity variables"}}) {
    if (index != 0 && !d.at(index).isString() && !input.knownEmpty()) {
      s.message(3,
                name + " has numbers in " + d.at(index).name + ", which should hold " + what + ".");
      return false;
    }
  }
  const std::int64_t first = std::max(rowtype, varname) + 1;
  if (first > static_cast<std::int64_t>(d.size())) {
    s.message(3, name + " has no proximity variables after VARNAME_.");
    return false;
  }
  MatrixFileState& m = s.matrix;
  m.rowtypeIndex = rowtype;
  m.firstItemVar = first;
  m.lastItemVar = static_cast<Word>(d.size());
  m.inputVarCount = static_cast<Word>(d.size());
  m.inputDictWord = workingData ? engine::kWorkingDictionary : engine::kMatrixDictionary;
  m.recordLength = input.recordLength();
  return true;
}

std::string variableName(const engine::Dictionary& d, Word index) {
  if (index < 1 || index > static_cast<Word>(d.size())) {
    return "(variable " + std::to_string(index) + ")";
  }
  return d.at(index).name;
}

}  // namespace

namespace engine {

void abandonMatrixFiles() {
  Session& s = Session::current();
  MatrixFiles& f = files();
  if (f.inputOpen && s.output() != nullptr) s.output()->resetSplitSource();
  f = MatrixFiles{};  // an output file not yet renamed into place is removed
  engine::kept::drop();
  s.matrixDictionary = nullptr;
  s.matrixOutputDictionary = nullptr;
}

}  // namespace engine

void MTDINI(ProxWorkspace& /*ws*/) {
  engine::abandonMatrixFiles();
  Session::current().matrix = MatrixFileState{};
}

void MTDFRI(ProxWorkspace& /*ws*/, Word /*a*/, Word /*b*/, Word /*c*/, Logical& failed) {
  Session& s = Session::current();
  MatrixFiles& f = files();
  bool workingData = false;
  failed = kTrue;
  if (!parseSpecification(workingData)) return;
  s.matrix.inputIsWorkingData = logical(workingData);
  f.inputStep = readingStep(workingData);
  const engine::Activity step(f.inputStep);
  try {
    if (workingData && !s.dataset) {
      throw DataError("There are no working data to read a matrix from.");
    }
    f.input = workingData ? MatrixReader::fromDataset(s.dataset, splitVariablesShown())
                          : MatrixReader::fromFile(specifiedPath());
  } catch (const DataError& e) {
    s.message(3, e.what());
    return;
  }
  if (!describeInput(*f.input, workingData)) {
    f.input.reset();
    return;
  }
  s.matrixDictionary = f.input->ownDictionary();
  failed = kFalse;
}

void MTDFRO(ProxWorkspace& /*ws*/, Logical& failed) {
  Session& s = Session::current();
  MatrixFiles& f = files();
  bool workingData = false;
  failed = kTrue;
  if (!parseSpecification(workingData)) return;
  s.matrix.outputIsWorkingData = logical(workingData);
  s.matrix.outputDictWord = engine::kMatrixOutputDictionary;
  f.outputStep = writingStep(workingData);
  f.outputFile.reset();
  if (!workingData) {
    const std::filesystem::path path = specifiedPath();
    const std::filesystem::path folder = path.parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
      s.message(3, "The folder " + folder.string() + " of the matrix file does not exist.");
      return;
    }
    if (std::filesystem::is_directory(path, ec)) {
      s.message(3, path.string() + " is a folder; the matrix file needs a file name.");
      return;
    }
    f.outputFile = path;
  }
  f.outputGiven = true;
  f.outputStarted = false;
  failed = kFalse;
}

void MTDOPN(ProxWorkspace& /*ws*/, Logical& failed) {
  Session& s = Session::current();
  MatrixFiles& f = files();
  failed = kTrue;
  if (!f.input) return;
  const engine::Activity step(f.inputStep);
  try {
    if (!f.input->open()) {
      s.matrix.endOfMatrixInput = kTrue;
      s.message(2, (isTrue(s.matrix.inputIsWorkingData)
                        ? std::string("The working data have")
                        : "The matrix file " + f.input->source() + " has") +
                       " no rows, so there is no matrix to read.");
    }
  } catch (const DataError& e) {
    s.message(2, e.what());
    return;
  }
  f.inputOpen = true;
  if (s.output() != nullptr) {
    s.output()->setSplitSource([] {
      const MatrixFiles& current = files();
      return current.input ? current.input->groupTitle() : engine::OutputBuilder::SplitValues{};
    });
  }
  failed = kFalse;
}

Logical QMXSSF(ProxWorkspace& /*ws*/) {
  MatrixFiles& f = files();
  if (!f.inputOpen || isTrue(Session::current().matrix.endOfMatrixInput)) return kFalse;
  return logical(f.input->groupHasRow());
}

void MTXMAP(ProxWorkspace& ws, Word varListOffset, Word nvar, Word& mapOffset, Word& mapSize,
            Word message1, Word message2) {
  Session& s = Session::current();
  MatrixFiles& f = files();
  mapOffset = 0;
  mapSize = 0;
  if (!f.input || nvar < 1) {
    s.message(3, "There is no matrix input to take proximities from.");
    return;
  }
  if (isTrue(QNOMEM(mapOffset, 8, nvar, 8, ws))) {
    s.message(3, "The workspace is too small for the map of the matrix file.");
    return;
  }
  mapSize = nvar;
  const auto list = ws::integers(ws, varListOffset, nvar);
  const auto map = ws::integers(ws, mapOffset, nvar);
  const engine::Dictionary& d = f.input->dictionary();
  for (std::size_t j = 0; j < list.size(); ++j) {
    const Word index = list[j];
    map[j] = 0;
    if (index < s.matrix.firstItemVar || index > s.matrix.lastItemVar) {
      s.message(3, engine::output::numberedMessage(message1, variableName(d, index)));
    } else if (d.at(index).isString()) {
      s.message(3, engine::output::numberedMessage(message2, variableName(d, index)));
    } else {
      map[j] = f.input->recordPosition(index);
    }
  }
}

void MTDOBV(ProxWorkspace& /*ws*/, Word variable, std::span<Word> target, Word mode, Word& status) {
  Session& s = Session::current();
  MatrixFiles& f = files();
  status = 0;
  if (!f.inputOpen || !f.input->hasRow()) {
    status = 1;
    return;
  }
  if (mode == -1) {
    const engine::Activity step(f.inputStep);
    try {
      f.input->advance();
    } catch (const DataError& e) {
      s.message(2, e.what());
      s.matrix.endOfMatrixInput = kTrue;
      status = 2;
      return;
    }
    if (!f.input->hasRow()) s.matrix.endOfMatrixInput = kTrue;
    return;
  }
  if (!f.input->read(variable, target)) status = 1;
}

void MTDMPD(Word /*itemCount*/, ProxWorkspace& /*ws*/, Word caseLabelWidth, Word caseLabelVariable,
            Word varnameWidth, Word /*kind*/, Logical makeCaseLabels, Logical copyCaseNumbers) {
  Session& s = Session::current();
  MatrixFiles& f = files();
  if (!f.outputGiven) {
    s.message(3, "No matrix file was given to write.");
    return;
  }
  const engine::Activity step(f.outputStep);
  const engine::Dictionary& from = s.selectedDictionary();
  MatrixWriter::Standard standard;
  f.outputGroupVariables.clear();
  for (const std::int64_t index : splitVariablesShown()) {
    if (index < 1 || index > static_cast<std::int64_t>(from.size())) continue;
    standard.splitVariables.push_back(from.at(index));
    f.outputGroupVariables.push_back(index);
  }
  if (caseLabelWidth > 0) {
    standard.caseLabelWidth = static_cast<int>(caseLabelWidth);
    if (caseLabelVariable >= 1 && caseLabelVariable <= static_cast<Word>(from.size())) {
      standard.caseLabelTitle = from.at(caseLabelVariable).label;
    }
  } else if (isTrue(makeCaseLabels)) {
    standard.caseLabelWidth = 8;
  }
  standard.caseNumbers = isTrue(copyCaseNumbers);
  standard.varnameWidth = static_cast<int>(std::clamp<Word>(varnameWidth, 1, 64));
  f.output = std::make_unique<MatrixWriter>(f.outputFile);
  f.keepRows = !f.outputFile && engine::keepingWrittenMatrices();
  f.outputStarted = true;
  try {
    f.output->startDictionary(standard);
  } catch (const DataError& e) {
    f.output.reset();
    s.message(3, e.what());
    return;
  }
  s.matrixOutputDictionary = &f.output->dictionary();
}

void MTDDIC(ProxWorkspace& /*ws*/) {
  Session& s = Session::current();
  MatrixFiles& f = files();
  if (!f.output) return;
  const engine::Activity step(f.outputStep);
  try {
    f.output->begin();
  } catch (const DataError& e) {
    s.message(3, e.what());
  }
}

namespace {

void startRow(std::string_view varname, const Keyword& rowtype, std::span<const Word> leading) {
  MatrixFiles& f = files();
  if (!f.output) {
    Session::current().message(3, "A matrix file row came before the file's dictionary.");
    return;
  }
  const engine::Activity step(f.outputStep);
  f.keptValues = nullptr;
  if (keepingRows(f)) {
    try {
      f.keptValues =
          &engine::kept::startRow(f.output->dictionary(), rowtype.view(), varname, leading);
    } catch (const DataError& e) {
      Session::current().message(3, e.what());
    }
    return;
  }
  f.output->startRow(rowtype.view(), varname, leading);
}

}  // namespace

void MTXREC(std::string_view varname, const Keyword& rowtype, ProxWorkspace& /*ws*/,
            std::span<const Word> leading) {
  engine::commandTiming().mark(engine::TimedPhase::Writing);
  startRow(varname, rowtype, leading);
}

void MTXCRR(Word row, const Keyword& rowtype, ProxWorkspace& /*ws*/,
            std::span<const Word> leading) {
  engine::commandTiming().mark(engine::TimedPhase::Writing);
  MatrixFiles& f = files();
  const std::string name = f.output ? f.output->itemName(row) : std::string();
  if (f.output && name.empty()) {
    Session::current().message(
        3, "The matrix file has no item variable for row " + std::to_string(row) + ".");
    return;
  }
  startRow(name, rowtype, leading);
}

void MTXVOB(double value, ProxWorkspace& /*ws*/) {
  MatrixFiles& f = files();
  if (keepingRows(f)) {
    if (f.keptValues != nullptr) engine::kept::addValue(*f.keptValues, value);
  } else if (f.output) {
    f.output->addValue(value);
  }
}

void MTDWRT(ProxWorkspace& /*ws*/) {
  // Closed however the function returns: the row is written or dropped.
  struct CloseWriting {
    ~CloseWriting() { engine::commandTiming().close(engine::TimedPhase::Writing); }
  } closeWriting;
  Session& s = Session::current();
  MatrixFiles& f = files();
  if (!f.output) return;
  // A matrix read from a file carries that file's groups; a computed one the
  // group of the cases just read.
  const engine::Case* group = f.inputOpen ? f.input->groupRow() : engine::lastDeliveredCase();
  f.keptValues = nullptr;
  const engine::Activity step(f.outputStep);
  try {
    if (keepingRows(f)) {
      engine::kept::writeRow(group, f.outputGroupVariables);
    } else {
      f.output->writeRow(group, f.outputGroupVariables);
    }
  } catch (const DataError& e) {
    s.message(3, e.what());
  }
}

void MTDCLI(ProxWorkspace& /*ws*/) {
  Session& s = Session::current();
  MatrixFiles& f = files();
  if (f.inputOpen && s.output() != nullptr) s.output()->resetSplitSource();
  f.input.reset();
  f.inputOpen = false;
  s.matrixDictionary = nullptr;
}

void MTDNDI(ProxWorkspace& /*ws*/) {
  Session& s = Session::current();
  MatrixFiles& f = files();
  if (!f.output || !f.output->toWorkingData() || !f.output->hasDictionary()) return;
  const engine::Activity step(f.outputStep);
  if (keepingRows(f)) {  // the caller takes the matrix; the working data stay
    engine::kept::finish();
    f.output.reset();
    s.matrixOutputDictionary = nullptr;
    return;
  }
  const std::size_t splitCount = f.output->splitCount();
  const std::int64_t rows = f.output->rowsWritten();
  const auto variables = static_cast<std::int64_t>(f.output->dictionary().size());
  const std::string source = "the matrix written by " + s.commandName;
  s.dataset = f.output->toDataset(source);
  s.split.variables.clear();
  for (std::size_t k = 1; k <= splitCount; ++k)
    s.split.variables.push_back(static_cast<std::int64_t>(k));
  s.weightVariable = 0;
  f.output.reset();
  s.matrixOutputDictionary = nullptr;
  s.message(1, "The working data are now " + engine::data::countOf(rows, "case", "cases") + " of " +
                   engine::data::countOf(variables, "variable", "variables") + " from " + source +
                   ".");
}

namespace {

// The command asked for a matrix file and its note names it as saved, but no
// group gave a matrix (each had too few valid items). An older file of that
// name must not pass for this command's result, so the file is replaced by a
// matrix of no rows; the error makes the run fail for scripts that go on to
// read it.
void saveEmptyMatrix(Session& s, MatrixFiles& f) {
  const std::string reason = "No matrix was saved: no group had enough valid items for one.";
  if (!f.outputFile) {
    s.message(3, reason + " The working data were not replaced.");
    return;
  }
  try {
    engine::MatrixWriter empty(f.outputFile);
    empty.startDictionary({});
    empty.begin();
    empty.commit();
    s.message(3, reason + " " + f.outputFile->string() +
                     " holds the matrix file's ROWTYPE_ and VARNAME_ variables and no rows.");
  } catch (const DataError& e) {
    s.message(3, e.what());
  }
}

}  // namespace

void MTDCLS(ProxWorkspace& /*ws*/) {
  const engine::TimedScope timed(engine::TimedPhase::Writing);
  Session& s = Session::current();
  MatrixFiles& f = files();
  const engine::Activity step(f.outputStep);
  if (f.outputGiven && !f.outputStarted && !isTrue(s.global.errorFlag)) saveEmptyMatrix(s, f);
  if (f.output && !isTrue(s.global.errorFlag)) {
    try {
      f.output->commit();
    } catch (const DataError& e) {
      s.message(3, e.what());
    }
  }
  f.output.reset();  // a file not renamed into place is removed
  f.outputGiven = false;
  f.outputStarted = false;
  s.matrixOutputDictionary = nullptr;
}
