// One vCard as the contacts store reads it, and the builder that turns its
// properties into that form. Only what the caller asked for is decoded:
// names, handles, and where the picture is, never the picture itself.
// A builder belongs to one thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sources/vcard/vcard_property.h"

/// What a walk needs of each card.
struct VCardNeeds {
  bool names = false;
  bool handles = false;
  bool photos = false;
};

/// Where a PHOTO's bytes are. Inline payloads are views into the file text,
/// folds and all; they are decoded only when the picture is exported.
struct PhotoSource {
  enum class Kind { inlineBase64, inlineText, file };
  Kind kind = Kind::inlineBase64;
  std::string_view payload;  ///< inlineBase64 and inlineText
  std::string path;          ///< file: the local path, percent-decoded
};

struct VCardCard {
  size_t position = 0;  ///< 0-based place of the card's BEGIN in its file
  std::string uid;      ///< empty when the card has none
  std::string fullName; ///< empty when neither FN nor N gives one
  std::vector<std::string> phoneNumbers;
  std::vector<std::string> emailAddresses;
  std::vector<PhotoSource> photos;  ///< in stored order
};

class VCardBuilder {
 public:
  VCardBuilder(size_t position, const VCardNeeds& needs);

  /// Takes in one property of the card. `folded` tells whether its value
  /// holds folds to remove.
  void add(const VCardProperty& property, bool folded);

  /// The card, its full name settled from FN and N.
  VCardCard finish();

 private:
  void addPhoto(const VCardProperty& property, bool folded);

  VCardNeeds needs_;
  VCardCard card_;
  std::optional<std::string> formattedName_;
  std::vector<std::string> structuredNames_;  ///< N values, decoded, in order
  bool version21_ = false;
};

/// The text of a property's value: unfolded, quoted-printable decoded when
/// the property says so, converted from its CHARSET, escapes kept.
std::string decodedValueText(const VCardProperty& property, bool folded);

/// A name from an N value: prefix, given, additional, family and suffix
/// names joined by single blanks, empty parts left out; with
/// `commasSeparate` (vCard 3.0 and 4.0) the commas of a part separate names
/// too.
std::string nameFromStructuredName(std::string_view decodedValue, bool commasSeparate);
