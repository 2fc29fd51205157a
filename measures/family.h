// One group's computation, independent of where the features come from: the
// drivers start a family, hand it one feature vector at a time, and finish
// it. The measure catalogue decides which kernel and finishing step run.
// The interval families keep a few features and add them to the pairs
// together, which gives the sums of adding them one by one.
#pragma once

#include <span>
#include <vector>

#include "host/tavixwcom.h"
#include "measures/catalogue.h"
#include "measures/stored_sweep.h"

struct FamilyArrays {
  std::span<double> t;              // the triangle of the current N items
  std::span<double> g;              // the item vector (first N entries)
  std::span<double> u;              // running means (correlation)
  std::span<double> b;              // second triangle (counts)
  std::span<Logical> presentFlags;  // per item (binary)
};

class FamilyPass {
 public:
  FamilyPass(Word code, Word param1, Word param2, FamilyArrays arrays);

  // The exponent and root of the power family for this code.
  static std::pair<Word, Word> powerParameters(Word code, Word param1, Word param2);

  void start();                               // zeroes what the sums need
  void add(std::span<const double> feature);  // one feature of all N items
  // Every stored feature at once, then the finishing step: the same results
  // as start(), add() feature by feature and finish(). G must start at zero.
  void computeStored(const StoredFeatures& features, const Tick& tick);
  void finish(Word features);                 // after the last feature
  double featuresSeen() const { return m_; }  // correlation's running count
  Family family() const { return family_; }

 private:
  Word code_;
  Family family_;
  Word p_ = 0;
  Word r_ = 0;
  Word present_ = 0;
  FamilyArrays a_;
  double m_ = 0.0;
  // Features kept until they are added to the pairs (the correlation keeps
  // deviations in block_ and weighted deviations in weights_).
  void addToBlock(std::span<const double> feature);
  void addBlock();
  std::vector<double> block_;
  std::vector<double> weights_;
  std::size_t blocked_ = 0;
};
