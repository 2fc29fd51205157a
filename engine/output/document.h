// The items of the output document as the builder hands them to a renderer:
// pivot tables, notes listings and messages. A pivot table is kept in memory
// only until it is complete and rendered; the rows of a large table built row
// by row are put aside in a spool as they complete (see PivotTable).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/output/cell_spool.h"
#include "engine/output/content.h"

namespace engine::output {

// The command an item came from, as the engine describes it.
struct CommandInfo {
  std::string text;      // the command as typed, white space collapsed
  std::string location;  // "file:line", may be empty
};

enum class Severity { Note = 1, Warning = 2, Error = 3 };

struct Message {
  Severity severity = Severity::Note;
  std::optional<std::int64_t> messageClass;  // as given to BP_ERROR; none for the engine's own
  std::string text;
  std::optional<CommandInfo> command;
};

// A two-column listing: "Resources" with "Workspace Bytes" and its value.
struct NotesGroup {
  std::string title;
  std::vector<std::pair<std::string, Content>> entries;
};

// Cells carry a position per dimension; a table has at most this many.
inline constexpr std::size_t kMaxDimensions = 4;

enum class Axis { Rows, Columns };

struct CategoryGroup {
  std::string label;
  int parent = -1;  // enclosing group, -1 at the top
};

struct Category {
  Content label;
  int group = -1;  // innermost enclosing group, -1 none
  std::vector<int> footnotes;
};

struct Dimension {
  std::string name;
  Axis axis = Axis::Rows;
  bool positioned = false;
  int level = 1;  // 1 next to the cells, larger further out
  std::vector<Category> categories;
  std::vector<CategoryGroup> groups;
  int current = -1;  // the category cells of other dimensions are placed in

  // Groups a category lies in, outermost first.
  std::vector<int> groupPath(int category) const;
  int depth() const;  // label rows (columns) it needs: the deepest group path + 1

 private:
  friend class PivotTable;
  std::unordered_map<std::string, int> byLabel_;  // first category of a label text
  std::vector<int> openGroups_;
  int lastFound_ = -1;        // category the last cell was placed at
  bool labelsUnique_ = true;  // no two categories share a label text
};

struct Cell {
  std::array<std::int32_t, kMaxDimensions> position{};  // -1: no category there
  double value = 0.0;
  std::int64_t whole = 0;       // integer numbers: the exact value
  std::uint32_t textIndex = 0;  // text and variable cells: index into the table's texts
  Content::Kind kind = Content::Kind::Number;
  NumberFormat format = NumberFormat::General;
  bool integer = false;
  bool missing = false;
  bool textKept = false;  // a number whose shown text is kept (in numberTexts_)
};

// How a cell names its category of the cell dimension: the label's content
// and its shown text. A whole number in the count format (an item number)
// matches a category made from such a number by value, so its text is made
// only when a category has to be looked up by text or added.
class CategoryName {
 public:
  explicit CategoryName(const Content& label) : CategoryName(label, label.text) {}
  // `text` is the label as shown (trimmed); for a count it may be empty.
  CategoryName(const Content& label, std::string_view text);

  bool matches(const Content& category) const;
  std::string_view text() const;
  Content content() const;  // the label of a category made for it

 private:
  const Content& label_;
  mutable std::string_view text_;
  bool byCount_ = false;
  mutable std::array<char, 24> digits_{};
  mutable bool digitsMade_ = false;
};

// Terminal columns the UTF-8 text takes: a wide (East Asian) character two,
// a combining mark none, so that labels line up (engine/output/text_width.cpp).
std::size_t displayWidth(std::string_view text);
// The width of a text followed by its footnote markers, " [a,b]".
std::size_t markedWidth(std::string_view text, std::span<const int> footnotes);

// What the text rendering needs to know of a column of rows put aside: the
// widest shown text of its cells, markers included, and whether any is a
// number. Gathered as the rows are written, so that the spool is read once.
struct SpooledColumn {
  std::size_t widest = 0;
  bool numeric = false;
};

// A cell as the renderers read it back, one per column of a body row.
struct BodyCell {
  bool present = false;
  std::array<std::int32_t, kMaxDimensions> position{};
  Content content;  // text without footnote markers
  std::vector<int> footnotes;
};

// Cells are kept as compact records. A table whose rows come one after the
// other (one dimension down the rows, the columns complete before the second
// row starts, no cell going back to an earlier row) keeps only the row being
// filled: each earlier row goes to a spool, in column order, when the first
// cell of the next one is placed. A call that would change a row already put
// aside (a cell for an earlier row, a new column, a new dimension) reads the
// spool back, and the table is kept whole from then on: the output is the same
// either way.
class PivotTable {
 public:
  PivotTable(std::string name, std::string title);

  // ---- building (the BP_* calls)
  // Index of the named dimension, made when absent; -1 when the table is full.
  int dimension(std::string_view name);
  void setCellDimension(int dim);
  void place(int dim, Axis axis, int level);
  void declareCategory(int dim, Content label);
  void beginGroup(int dim, std::string label);
  void endGroup(int dim);
  // Places the cell at the category of the cell dimension whose label text is
  // `category` (made when absent) and the current category of every other.
  // A number whose text is empty is formatted from its value when shown.
  void placeCell(const Content& cell, const CategoryName& category);
  void placeCell(const Content& cell, const Content& category) {
    placeCell(cell, CategoryName(category));
  }
  enum class Target { Title, Table, LastCategory, LastCell };
  void annotate(Target target, std::string_view footnote);
  // The split-file group the table was made in: variable names and values.
  using GroupValues = std::vector<std::pair<std::string, std::string>>;
  void setGroup(GroupValues group) { group_ = std::move(group); }

  // ---- reading (the renderers)
  const std::string& name() const { return name_; }
  const std::string& title() const { return title_; }
  const GroupValues& group() const { return group_; }
  const std::vector<Dimension>& dimensions() const { return dimensions_; }
  int cellDimension() const { return cellDimension_; }
  // The cells held in memory: all of them, or only the row being filled when
  // the table is spooled().
  const std::vector<Cell>& cells() const { return cells_; }
  bool spooled() const { return spool_ != nullptr; }
  std::size_t spooledBytes() const { return spool_ ? static_cast<std::size_t>(spool_->size()) : 0; }
  Content cellContent(std::size_t index) const;
  const std::vector<std::string>& footnotes() const { return footnotes_; }
  const std::vector<int>& titleFootnotes() const { return titleFootnotes_; }
  const std::vector<int>& tableFootnotes() const { return tableFootnotes_; }
  // The markers shown by the title: its own, then the whole table's.
  std::vector<int> titleMarkers() const;
  const std::vector<int>& cellFootnotes(std::size_t index) const;

  // The rows put aside, in order. `row` has one entry per column of the
  // table's layout: the entry of a column is the mixed-radix number of its
  // categories, the column dimensions taken outer first.
  class SpooledRows {
   public:
    explicit SpooledRows(const PivotTable& table);
    // Category (of the row dimension) of the next row put aside; -1 after the last.
    int nextRow() const { return next_; }
    // Reads the next row's cells into `row`, at their columns.
    void read(std::span<BodyCell> row);
    void skip();  // passes over the next row

   private:
    void readHeader();
    const PivotTable& table_;
    CellSpool::Reader reader_;
    int next_ = -1;
    std::uint32_t count_ = 0;
    std::string scratch_;
  };
  int spoolRowDimension() const { return spoolRowDim_; }
  // Per column of the layout, of the rows put aside (not the row in memory).
  const std::vector<SpooledColumn>& spooledColumns() const { return spooledColumns_; }
  const std::vector<int>& spoolColumnDimensions() const { return spoolColumnDims_; }

  // Bytes a spool keeps in memory before it moves to a temporary file (for
  // the tests); applies to tables made afterwards.
  static void setSpoolMemoryBudget(std::size_t bytes);
  // Off, every table is kept whole (for the tests: the reference output).
  static void allowSpooling(bool allowed);

 private:
  int findOrAddFootnote(std::string_view text);
  int categoryForCell(int dim, const CategoryName& label);
  int addCategory(int dim, Content label);

  std::string name_;
  std::string title_;
  GroupValues group_;
  std::vector<Dimension> dimensions_;
  int cellDimension_ = -1;
  std::vector<Cell> cells_;
  std::vector<Content> texts_;  // contents of text and variable cells
  // Shown texts of numbers while the table is or may become spooled: the row
  // is written without formatting its numbers again.
  std::vector<std::string> numberTexts_;
  std::vector<std::string> footnotes_;
  std::vector<int> titleFootnotes_;
  std::vector<int> tableFootnotes_;
  std::map<std::size_t, std::vector<int>> cellFootnotes_;
  int lastCategoryDim_ = -1;
  int lastCategory_ = -1;

  // ---- spooling (see the class comment)
  bool rowsInOrderShape() const;
  void startSpool(const Cell& next);
  void spoolPendingRow();
  void leaveSpool();
  std::uint32_t columnEntry(const Cell& cell) const;
  std::size_t writeCellRecord(std::string& out, const Cell& cell, std::size_t index,
                              std::uint32_t step) const;
  int rowOf(const Cell& cell) const;
  static std::string numberText(const Cell& cell);

  bool spoolDecided_ = false;  // startSpool has been considered
  std::unique_ptr<CellSpool> spool_;
  int spoolRowDim_ = -1;
  std::vector<int> spoolColumnDims_;  // outer first, as laid out
  std::vector<std::uint32_t> spoolColumnCounts_;
  int pendingRow_ = -1;  // row category of the cells held in memory
  std::string record_;   // reused buffer for one row's records
  std::vector<SpooledColumn> spooledColumns_;
  // Reused for each row put aside: its cells' columns and the order they go in.
  std::vector<std::uint32_t> rowEntries_;
  std::vector<std::size_t> rowOrder_;
  std::vector<std::size_t> rowKept_;
};

// Footnote marker of the k-th footnote (0-based): a ... z, aa, ab ...
std::string footnoteMarker(int index);

}  // namespace engine::output
