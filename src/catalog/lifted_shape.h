// A Jet text shape's translation with its literals lifted once: statements
// that differ only in their text values (an import's, one book's values each)
// then become their prepared statement's text and bound values without their
// SQLite text being made and tokenized again for every book. For any values,
// FillLiftedShape gives exactly what LiftLiterals gives for the text FillShape
// makes, or nothing (the caller then takes that longer way).
#ifndef TOMEVA_CATALOG_LIFTED_SHAPE_H_
#define TOMEVA_CATALOG_LIFTED_SHAPE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/sql_literal_lifting.h"

namespace tomeva::catalog {

// A shape's translation, lifted: the statement text and, for each parameter,
// the number of the shape's value it takes or a value of its own.
struct LiftedShape {
  struct Slot {
    std::optional<size_t> value;  // the shape's value number
    bool value_has_letter = false;  // what the value's marker said of it
    LiftedValue fixed;              // when value is empty
  };
  std::string text;
  std::vector<Slot> slots;
};

// The lifted form of shape_translation (the translation of a shape with
// value_count values); nullopt when it cannot stand for the texts of the
// shape: nothing is lifted, a marker stays in the statement text (a place
// whose literals are not lifted), a lifted literal holds a marker and more, or
// a value's marker is not there at all.
std::optional<LiftedShape> LiftShape(std::string_view shape_translation, size_t value_count);

// The lifted statement for values (one per marker, as the shape was made);
// nullopt when a value holds a NUL byte (its text is not lifted) or does not
// fit its marker (see FillShape).
std::optional<LiftedSql> FillLiftedShape(const LiftedShape& shape,
                                         const std::vector<std::string>& values);

}  // namespace tomeva::catalog

#endif  // TOMEVA_CATALOG_LIFTED_SHAPE_H_
