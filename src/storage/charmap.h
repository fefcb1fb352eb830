#pragma once

#include <QString>
#include <QStringView>

// The one fixed table by which a text with characters the cipher cannot
// store (codes outside 32..122) is turned into a text it can store. Every
// character the cipher can store stays as it is; every other character is
// replaced, by the first rule that applies to it:
//
//   typographic quotes      ‘ ’ ‚ ‛ ‹ › ′ ‵ ´ ʼ             '
//                           “ ” „ ‟ « » ″ ‶                 "
//   dashes and minus        soft hyphen, ‐ ‑ ‒ – — ― − ⸺ ⸻  -
//   ellipsis                …                               ...
//   |  {  }  ~                                              /  (  )  -
//   letters of their own    ß ẞ æ Æ ø Ø œ Œ ł Ł þ Þ         ss SS ae AE o O oe OE l L th TH
//   any space               tab, line break, no-break space
//                           and every other blank            ' ' (one blank)
//   a mark on its own       a combining accent               dropped
//   Unicode decomposition   the character's full (compatibility) decomposition,
//                           its marks dropped and the rest mapped by the rules
//                           above: é e, Å A, ç c, ǅ Dz, ﬁ fi, ™ TM, ² 2, Ａ A
//   anything else           one ?                           ?
//
// A decomposition is used only when it gives letters, digits or punctuation:
// one that leaves a character this table cannot map (½ gives 1, a fraction
// slash and 2) or nothing but a blank (the spacing accents ¨ ¸ ˜) makes the
// character one "?", as does a lone half of a surrogate pair, a control
// character, an emoji or a letter of another script. A character outside the
// basic plane counts as one character.
namespace modMain {

// A text after the table: `text`, and whether any character was replaced
// or dropped.
struct MappedText {
    QString text;
    bool changed = false;
};

// Maps every character of `text` the cipher cannot store by the table above.
// With `keepLineBreaks`, a CR LF pair stays as it is (a description stores
// its line breaks); a lone CR or LF is a space all the same.
MappedText MapToStorable(QStringView text, bool keepLineBreaks = false);

} // namespace modMain
