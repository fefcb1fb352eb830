#include "storage/charmap.h"

#include "storage/records.h"

#include <gtest/gtest.h>

#include <string>

using namespace modMain;

namespace {

struct MapCase {
    const char *name;
    const char16_t *text;
    const char *mapped;
    bool keepLineBreaks = false;
};

class MapToStorableCases : public ::testing::TestWithParam<MapCase> {};

} // namespace

TEST_P(MapToStorableCases, MapsByTheTable) {
    const MapCase &c = GetParam();
    const QString text = QString::fromUtf16(c.text);
    const MappedText result = MapToStorable(text, c.keepLineBreaks);
    EXPECT_EQ(result.text, QString::fromLatin1(c.mapped));
    EXPECT_EQ(result.changed, result.text != text);
    QString storable = result.text;
    if (c.keepLineBreaks)
        storable.remove(QStringLiteral("\r\n"));
    EXPECT_TRUE(UnstorableChars(storable).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    CharMap, MapToStorableCases,
    ::testing::Values(
        // Storable text stays as it is.
        MapCase{"plain_text_unchanged", u"Plain text, 42 (ok)? *QVX* `z`",
                "Plain text, 42 (ok)? *QVX* `z`"},
        MapCase{"empty", u"", ""},
        // Accents: the decomposition's marks dropped.
        MapCase{"e_acute", u"caf\u00e9", "cafe"},
        MapCase{"capital_a_ring", u"\u00c5ngstr\u00f6m", "Angstrom"},
        MapCase{"c_cedilla", u"gar\u00e7on", "garcon"},
        MapCase{"n_tilde", u"ma\u00f1ana", "manana"},
        MapCase{"z_acute", u"\u0141\u00f3d\u017a", "Lodz"},
        MapCase{"combining_acute_after_e", u"cafe\u0301", "cafe"},
        MapCase{"vietnamese_two_marks", u"Vi\u1ec7t", "Viet"},
        // Typographic quotes.
        MapCase{"single_quotes", u"\u2018a\u2019 \u201ab\u201b", "'a' 'b'"},
        MapCase{"double_quotes", u"\u201ca\u201d \u201eb\u201f", "\"a\" \"b\""},
        MapCase{"guillemets", u"\u00aba\u00bb \u2039b\u203a", "\"a\" 'b'"},
        MapCase{"primes_and_acute", u"5\u2032 6\u2033 it\u00b4s", "5' 6\" it's"},
        // Dashes, minus, ellipsis.
        MapCase{"en_and_em_dash", u"a\u2013b\u2014c", "a-b-c"},
        MapCase{"hyphens", u"a\u2010b\u2011c\u00adc", "a-b-c-c"},
        MapCase{"minus_sign", u"\u22125", "-5"}, MapCase{"ellipsis", u"wait\u2026", "wait..."},
        // Spaces.
        MapCase{"tab", u"a\tb", "a b"}, MapCase{"no_break_space", u"a\u00a0b", "a b"},
        MapCase{"em_and_thin_space", u"a\u2003b\u2009c", "a b c"},
        MapCase{"ideographic_space", u"a\u3000b", "a b"},
        MapCase{"line_break_without_keep", u"a\r\nb", "a  b"},
        MapCase{"line_break_kept", u"a\r\nb", "a\r\nb", true},
        MapCase{"lone_lf_is_a_space", u"a\nb\rc", "a b c", true},
        // The four characters past "z".
        MapCase{"bar_braces_tilde", u"{a|b}~", "(a/b)-"},
        // Letters of their own, and their capitals.
        MapCase{"sharp_s", u"Stra\u00dfe \u1e9e", "Strasse SS"},
        MapCase{"ae", u"\u00e6 \u00c6", "ae AE"}, MapCase{"o_slash", u"\u00f8 \u00d8", "o O"},
        MapCase{"oe", u"\u0153 \u0152", "oe OE"}, MapCase{"l_stroke", u"\u0142 \u0141", "l L"},
        MapCase{"thorn", u"\u00fe \u00de", "th TH"},
        // Compatibility decompositions.
        MapCase{"ligature_fi", u"\ufb01ne", "fine"},
        MapCase{"trade_mark", u"Brand\u2122", "BrandTM"},
        MapCase{"superscript_two", u"m\u00b2", "m2"},
        MapCase{"fullwidth_letters", u"\uff21\uff42", "Ab"},
        MapCase{"fullwidth_tilde_then_table", u"\uff5e", "-"},
        // Anything left: one "?" a character.
        MapCase{"one_half", u"\u00bd", "?"}, MapCase{"spacing_diaeresis", u"\u00a8", "?"},
        MapCase{"euro_sign", u"5\u20ac", "5?"}, MapCase{"greek", u"\u03b1\u03b2", "??"},
        MapCase{"chinese", u"\u4e2d\u6587", "??"},
        MapCase{"emoji_outside_the_plane", u"ok\U0001F600", "ok?"},
        MapCase{"lone_surrogate", u"a\xd800z", "a?z"},
        MapCase{"replacement_character", u"Caf\ufffd", "Caf?"},
        MapCase{"control_characters", u"a\u0001b\u007fc", "a?b?c"},
        MapCase{"zero_width_space", u"a\u200bb", "a?b"},
        MapCase{"eth_has_no_rule", u"\u00f0", "?"}),
    [](const auto &info) { return std::string(info.param.name); });
