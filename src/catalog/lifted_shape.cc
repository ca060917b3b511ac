// Lifting a shape's translation once, and filling it with each text's values.
#include "catalog/lifted_shape.h"

#include "catalog/jet_text_shape.h"

namespace tomeva::catalog {

std::optional<LiftedShape> LiftShape(std::string_view shape_translation, size_t value_count) {
  std::optional<LiftedSql> lifted = LiftLiterals(shape_translation);
  if (!lifted || lifted->text.find(kShapeMarkerCharacter) != std::string::npos) return std::nullopt;
  LiftedShape shape;
  shape.text = std::move(lifted->text);
  std::vector<bool> seen(value_count, false);
  for (LiftedValue& value : lifted->values) {
    LiftedShape::Slot slot;
    if (!value.is_integer && value.text.find(kShapeMarkerCharacter) != std::string::npos) {
      const std::optional<ShapeMarker> marker = MarkerOf(value.text);
      if (!marker || marker->value >= value_count) return std::nullopt;
      slot.value = marker->value;
      slot.value_has_letter = marker->has_letter;
      seen[marker->value] = true;
    } else {
      slot.fixed = std::move(value);
    }
    shape.slots.push_back(std::move(slot));
  }
  for (bool value_seen : seen) {
    if (!value_seen) return std::nullopt;
  }
  return shape;
}

std::optional<LiftedSql> FillLiftedShape(const LiftedShape& shape,
                                         const std::vector<std::string>& values) {
  LiftedSql lifted;
  lifted.text = shape.text;
  lifted.values.reserve(shape.slots.size());
  for (const LiftedShape::Slot& slot : shape.slots) {
    if (!slot.value) {
      lifted.values.push_back(slot.fixed);
      continue;
    }
    if (*slot.value >= values.size()) return std::nullopt;
    const std::string& value = values[*slot.value];
    // A text with a NUL byte is never lifted, and a value must be the kind
    // its marker was translated as.
    if (value.find('\0') != std::string::npos || HasAsciiLetter(value) != slot.value_has_letter) {
      return std::nullopt;
    }
    lifted.values.push_back(LiftedValue{.is_integer = false, .integer = 0, .text = value});
  }
  return lifted;
}

}  // namespace tomeva::catalog
