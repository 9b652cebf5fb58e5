// One vCard property split into its parts: `group.NAME;param=a,b;BARE:value`.
// Names are compared without regard to letter case. The parts are views into
// the line (or into `head`, when the head was folded). Pure; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// One parameter; a bare parameter of old writers (`;BASE64`) has no name,
/// only its one value.
struct VCardParameter {
  std::string_view name;
  std::vector<std::string_view> values;
};

struct VCardProperty {
  std::string_view group;
  std::string_view name;
  std::vector<VCardParameter> parameters;
  /// The value as it stands in the line, folds and escapes still in it.
  std::string_view rawValue;
  /// Storage for the unfolded head when the head itself was folded.
  std::string head;

  /// Whether the name is `name`, ignoring letter case.
  bool is(std::string_view name) const;
  /// The first value of the parameter `name` (case ignored), if present.
  std::optional<std::string_view> parameter(std::string_view name) const;
  /// Whether some parameter, named or bare, has the value `value` (case
  /// ignored); with `name`, only parameters of that name and bare ones count.
  bool hasParameterValue(std::string_view value, std::string_view name = {}) const;
};

/// Splits `line` at its first colon outside double quotes; false when the
/// line has no colon or no name.
bool parseProperty(std::string_view line, bool folded, VCardProperty& property);

