// What the response writer does that no mode shows yet: the spell's output
// fields come from its output record, and an error says its section when it
// is written somewhere other than where it belongs.
#include "protocol/response_writer.h"

#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

std::string Render(const Spell& spell, const OutputFields* fields) {
  std::vector<char> buffer(1 << 16);
  BoundedOutputStream stream(buffer.data(), static_cast<uint32_t>(buffer.size()));
  const uint32_t count = WriteResponse(spell, fields, stream);
  const std::string text = buffer.data();
  EXPECT_EQ(count, text.size() + 1);
  return text;
}

TEST(ResponseWriter, SpellOutputFieldsComeFromTheOutputRecord) {
  Spell spell;
  spell.Set("Id", "s1");
  spell.Set("HRG", "spell");
  spell.episodes.emplace_back().Set("HRG", "episode");
  spell.output = &spell.episodes[0];
  ResolvedFields spell_fields = ResolveFields({"HRG"});
  ResolvedFields none;
  OutputFields fields{&spell_fields, &none, &none, &none};
  EXPECT_EQ(Render(spell, &fields),
            R"({"Success":false,"Id":"s1","HRG":"episode","Episodes":[{"Success":false}]})");
  spell.output = nullptr;
  EXPECT_EQ(Render(spell, &fields), R"({"Success":false,"Episodes":[{"Success":false}]})");
}

TEST(ResponseWriter, ErrorsNameTheirSectionOnlyOutsideIt) {
  Spell spell;
  GroupingError spell_error = GroupingError::Free("F", "own text");
  spell_error.section = kSpellSection;
  spell.AddError(spell_error);
  spell.AddError(GroupingError::WithValue("", "", kSpellExceeds87Episodes));
  Record& episode = spell.episodes.emplace_back();
  episode.AddError(spell_error);
  episode.AddError(GroupingError::WithPosition("Procedure", "P1", -3, kUz05InvalidProcedure));
  EXPECT_EQ(Render(spell, nullptr),
            R"({"Success":false,"Errors":[)"
            R"({"Field":"F","Message":"own text","Value":"","Index":""},)"
            R"({"Field":"","Message":"Spell exceeds 87 episodes","Value":"","Index":"",)"
            R"("Section":"episode"}],"Episodes":[{"Success":false,"Errors":[)"
            R"({"Field":"F","Message":"own text","Value":"","Index":"","Section":"spell"},)"
            R"({"Field":"Procedure","Message":"UZ05 - Invalid procedure for Casemix )"
            R"(grouping purposes","Value":"P1","Index":"-3"}]}]})");
}

}  // namespace
}  // namespace zorvel
