// The memory of what the user chose: its file, its bounds, how choices age and add up, and how the core
// feeds it.
#include "support/CoreFixture.h"
#include "support/TempFolder.h"

#include "engine/VChoiceMemory.h"
#include "model/VAction.h"
#include "model/VResult.h"
#include "util/CacheFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const int64_t kDay = 86400;
const int64_t kNow = 1800000000; // a fixed clock: ages are what the tests say they are
// A copy: gtest takes its operands by reference, and a constant of a DLL's class has no address here.
const std::size_t kMaxEntries = VChoiceMemory::kMaxEntries;

std::vector<std::string> values(const std::vector<VLearnedItem>& items) {
    std::vector<std::string> out;
    for (const VLearnedItem& item : items)
        out.push_back(item.value);
    return out;
}

class ChoiceMemoryFile : public ::testing::Test {
protected:
    std::string path() const { return folder.sub("Choices.vxc"); }
    TempFolder folder;
};

} // namespace

TEST_F(ChoiceMemoryFile, ChoicesSurviveASaveAndALoadWithTheirTypesCountsAndAges) {
    VChoiceMemory written(path());
    written.record("report", VProperty::FileType, "C:\\docs\\Report 2024.txt", kNow - 7 * kDay);
    written.record("report", VProperty::FileType, "C:\\docs\\Report 2024.txt", kNow);
    written.record("rep", VProperty::UrlType, "http://example.com/reports?a=1&b=\"2\"", kNow - kDay);
    written.record("été", static_cast<PropertyType>(0), "copy", kNow);
    ASSERT_TRUE(written.save());

    VChoiceMemory read(path());
    ASSERT_TRUE(read.load());
    EXPECT_EQ(read.size(), 3u);
    for (const char* text : {"r", "rep", "report", "été"}) {
        const auto before = written.lookup(text, kNow + kDay), after = read.lookup(text, kNow + kDay);
        ASSERT_EQ(after.size(), before.size()) << text;
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(after[i].type, before[i].type) << text;
            EXPECT_EQ(after[i].value, before[i].value) << text;
            EXPECT_NEAR(after[i].weight, before[i].weight, 0.002) << text;
        }
    }
}

TEST_F(ChoiceMemoryFile, AFullMemoryDropsTheOldestLeastChosenEntryAndNeverTheNewOne) {
    VChoiceMemory memory(path());
    // Four weeks old: chosen four times it still counts one, chosen once only a quarter.
    for (int i = 0; i < 4; ++i)
        memory.record("often", VProperty::FileType, "often", kNow - 28 * kDay);
    memory.record("once", VProperty::FileType, "once", kNow - 28 * kDay);
    for (std::size_t i = memory.size(); i < kMaxEntries; ++i)
        memory.record("filler" + std::to_string(i), VProperty::FileType, "f", kNow - kDay);
    ASSERT_EQ(memory.size(), kMaxEntries);

    memory.record("newest", VProperty::FileType, "n", kNow);
    EXPECT_EQ(memory.size(), kMaxEntries);
    EXPECT_TRUE(memory.lookup("once", kNow).empty()) << "the weakest entry stayed";
    EXPECT_EQ(values(memory.lookup("often", kNow)), std::vector<std::string>{"often"});
    EXPECT_EQ(values(memory.lookup("newest", kNow)), std::vector<std::string>{"n"});

    // Every other entry chosen more, and more lately: the new one still stays.
    VChoiceMemory strong(folder.sub("strong.vxc"));
    for (std::size_t i = 0; i < kMaxEntries; ++i) {
        for (int n = 0; n < 3; ++n)
            strong.record("t" + std::to_string(i), VProperty::TextType, "v", kNow + kDay);
    }
    strong.record("latecomer", VProperty::TextType, "v", kNow);
    EXPECT_EQ(strong.size(), kMaxEntries);
    EXPECT_EQ(strong.lookup("latecomer", kNow).size(), 1u);
}

TEST_F(ChoiceMemoryFile, AChoiceHalvesInWeightEveryFourteenDaysAndRepeatedChoicesAddUp) {
    VChoiceMemory memory(path());
    memory.record("mail", VProperty::EmailType, "a@example.com", kNow);
    const double fresh = memory.lookup("mail", kNow).at(0).weight;
    ASSERT_GT(fresh, 0.0);
    EXPECT_NEAR(memory.lookup("mail", kNow + 14 * kDay).at(0).weight, fresh / 2, 1e-9);
    EXPECT_NEAR(memory.lookup("mail", kNow + 28 * kDay).at(0).weight, fresh / 4, 1e-9);

    memory.record("mail", VProperty::EmailType, "a@example.com", kNow);
    EXPECT_NEAR(memory.lookup("mail", kNow).at(0).weight, 2 * fresh, 1e-9);
    // Two choices now, one more in two weeks: the first two count half by then.
    memory.record("mail", VProperty::EmailType, "a@example.com", kNow + 14 * kDay);
    EXPECT_NEAR(memory.lookup("mail", kNow + 14 * kDay).at(0).weight, 2 * fresh, 1e-9);
    EXPECT_EQ(memory.size(), 1u);
}

TEST_F(ChoiceMemoryFile, AChoiceForTheExactTextOutweighsOneForALongerTextThatStartsWithIt) {
    VChoiceMemory memory(path());
    memory.record("report", VProperty::FileType, "longer", kNow);
    memory.record("rep", VProperty::FileType, "exact", kNow);
    const auto found = memory.lookup("rep", kNow);
    ASSERT_EQ(values(found), (std::vector<std::string>{"exact", "longer"}));
    EXPECT_GT(found[0].weight, found[1].weight);
    EXPECT_GT(found[1].weight, 0.0);
}

TEST_F(ChoiceMemoryFile, ChoicesAreFoundThroughTheStartOfTheirTextOnly) {
    VChoiceMemory memory(path());
    memory.record("report", VProperty::FileType, "for report", kNow);
    memory.record("rep", VProperty::FileType, "for rep", kNow);
    EXPECT_EQ(values(memory.lookup("re", kNow)).size(), 2u);
    EXPECT_EQ(values(memory.lookup("report", kNow)), std::vector<std::string>{"for report"})
        << "a choice for a shorter text is no choice for a longer one";
    EXPECT_TRUE(memory.lookup("port", kNow).empty());
    EXPECT_TRUE(memory.lookup("reports", kNow).empty());
    EXPECT_TRUE(memory.lookup("   ", kNow).empty());
}

TEST_F(ChoiceMemoryFile, TextsAreComparedTrimmedAndWithoutRegardToCase) {
    VChoiceMemory memory(path());
    memory.record("  Report\t", VProperty::FileType, "x", kNow);
    memory.record("REPORT", VProperty::FileType, "x", kNow);
    EXPECT_EQ(memory.size(), 1u) << "one text, one entry";
    const auto found = memory.lookup(" rEPort ", kNow);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0].weight, memory.lookup("report", kNow).at(0).weight, 1e-12);
    EXPECT_GT(found[0].weight, memory.lookup("repor", kNow).at(0).weight) << "compared as the exact text";
}

TEST_F(ChoiceMemoryFile, TheSameAddressOfAnotherTypeIsAnotherItem) {
    VChoiceMemory memory(path());
    memory.record("home", VProperty::FileType, "C:\\home", kNow);
    memory.record("home", VProperty::TextType, "C:\\home", kNow);
    const auto found = memory.lookup("home", kNow);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NE(found[0].type, found[1].type);
}

TEST_F(ChoiceMemoryFile, DamagedForeignAndOversizedFilesReadAsEmptyAndTheNextSaveReplacesThem) {
    VChoiceMemory good(path());
    good.record("notes", VProperty::FileType, "C:\\notes.txt", kNow);
    ASSERT_TRUE(good.save());
    const std::string sound = folder.readFile("Choices.vxc");
    ASSERT_GT(sound.size(), 8u);

    vx::CacheWriter tooMany;
    tooMany.varint(kMaxEntries + 1);
    vx::CacheWriter zeroCount;
    zeroCount.varint(1);
    zeroCount.text("notes");
    zeroCount.u32(VProperty::FileType);
    zeroCount.text("C:\\notes.txt");
    zeroCount.varint(0);
    zeroCount.u64(kNow);
    const std::string damaged[] = {
        "not a memory at all",
        sound.substr(0, sound.size() - 3),
        sound.substr(0, sound.size() - 1) + char(sound.back() ^ 0x40),
    };
    for (const std::string& bytes : damaged) {
        ASSERT_TRUE(folder.writeFile("Choices.vxc", bytes));
        VChoiceMemory memory(path());
        memory.record("stale", VProperty::TextType, "kept until the load", kNow);
        EXPECT_FALSE(memory.load());
        EXPECT_EQ(memory.size(), 0u);
    }
    // Files that are sound as files but not as memories: another kind, another version, too many
    // entries, a choice that counts nothing, too big to be one.
    ASSERT_TRUE(vx::writeCacheFile(path(), "history", 1, std::string(), sound));
    EXPECT_FALSE(VChoiceMemory(path()).load());
    ASSERT_TRUE(vx::writeCacheFile(path(), "choices", 99, std::string(), std::string(1, '\0')));
    EXPECT_FALSE(VChoiceMemory(path()).load());
    ASSERT_TRUE(vx::writeCacheFile(path(), "choices", 1, std::string(), tooMany.bytes()));
    EXPECT_FALSE(VChoiceMemory(path()).load());
    ASSERT_TRUE(vx::writeCacheFile(path(), "choices", 1, std::string(), zeroCount.bytes()));
    EXPECT_FALSE(VChoiceMemory(path()).load());
    ASSERT_TRUE(vx::writeCacheFile(path(), "choices", 1, std::string(), std::string(5u << 20, 'x')));
    VChoiceMemory oversized(path());
    EXPECT_FALSE(oversized.load());
    EXPECT_EQ(oversized.size(), 0u);

    oversized.record("fresh", VProperty::FileType, "C:\\fresh.txt", kNow);
    ASSERT_TRUE(oversized.save());
    VChoiceMemory again(path());
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.size(), 1u);
    EXPECT_EQ(values(again.lookup("fresh", kNow)), std::vector<std::string>{"C:\\fresh.txt"});
}

TEST_F(ChoiceMemoryFile, AChoiceRecordedBeforeTheFileWasReadIsSavedBesideTheChoicesItHeld) {
    VChoiceMemory earlier(path());
    earlier.record("notes", VProperty::FileType, "C:\\notes.txt", kNow - kDay);
    ASSERT_TRUE(earlier.save());

    VChoiceMemory later(path());
    later.record("ann", VProperty::EmailType, "ann@example.com", kNow);
    ASSERT_TRUE(later.save());
    VChoiceMemory read(path());
    ASSERT_TRUE(read.load());
    EXPECT_EQ(read.size(), 2u) << "the save replaced the file's choices with the one made since";
    EXPECT_EQ(values(read.lookup("notes", kNow)), std::vector<std::string>{"C:\\notes.txt"});
}

TEST_F(ChoiceMemoryFile, AMissingFileLoadsAsAnEmptyMemory) {
    VChoiceMemory memory(path());
    EXPECT_FALSE(memory.load());
    EXPECT_EQ(memory.size(), 0u);
}

TEST_F(ChoiceMemoryFile, ClearForgetsEveryChoiceAndRemovesTheFile) {
    VChoiceMemory memory(path());
    memory.record("notes", VProperty::FileType, "C:\\notes.txt", kNow);
    ASSERT_TRUE(memory.save());
    memory.clear();
    EXPECT_EQ(memory.size(), 0u);
    EXPECT_TRUE(memory.lookup("notes", kNow).empty());
    EXPECT_EQ(::GetFileAttributesA(path().c_str()), INVALID_FILE_ATTRIBUTES);
}

namespace {

// A result whose default property is not its first, as a contact whose e-mail address is what Enter
// opens.
class TwoPropertyResult : public VResult {
public:
    TwoPropertyResult()
        : VResult(nullptr), name(VProperty::NameType, "Ann Smith"),
          mail(VProperty::EmailType, "ann@example.com") {
        addProperty(&name);
        addProperty(&mail);
    }
    VProperty* getDefaultProperty() const override { return const_cast<VProperty*>(&mail); }
    bool select() override { return true; }
    std::string getDisplayText() const override { return name.getValue(); }
    std::string getDisplayText1() const override { return name.getValue(); }
    std::string getDisplayText2() const override { return mail.getValue(); }

private:
    VProperty name, mail;
};

class KeywordAction : public VAction {
public:
    KeywordAction() : VAction("Google", "google", "Google search", nullptr) {}
    bool execute(const std::string&) override { return true; }
};

class CoreChoices : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        core->setChoiceFile(folder.sub("Choices.vxc"));
    }
    // What the file holds now, as a fresh memory reads it.
    std::vector<VLearnedItem> learned(const std::string& text) {
        VChoiceMemory saved(folder.sub("Choices.vxc"));
        saved.load();
        return saved.lookup(text, VChoiceMemory::currentTime());
    }
    TempFolder folder;
};

} // namespace

TEST_F(CoreChoices, AChosenResultIsRememberedByItsDefaultPropertyAndSaved) {
    TwoPropertyResult result;
    core->recordChoice("ann", &result);
    const auto saved = learned("ann");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].type, VProperty::EmailType);
    EXPECT_EQ(saved[0].value, "ann@example.com");
    EXPECT_EQ(core->getChoiceMemory().lookup("an", VChoiceMemory::currentTime()).size(), 1u);
}

TEST_F(CoreChoices, AChosenActionIsRememberedByItsKeywordUnderTypeZero) {
    KeywordAction action;
    core->recordChoice("goo", &action);
    const auto saved = learned("goo");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(static_cast<unsigned>(saved[0].type), 0u);
    EXPECT_EQ(saved[0].value, "google");
}

TEST_F(CoreChoices, NothingIsLearnedWhileLearningIsOff) {
    core->setLearnChoices(false);
    TwoPropertyResult result;
    KeywordAction action;
    core->recordChoice("ann", &result);
    core->recordChoice("goo", &action);
    core->recordChoice("ann", nullptr);
    EXPECT_EQ(core->getChoiceMemory().size(), 0u);
    EXPECT_EQ(::GetFileAttributesA(folder.sub("Choices.vxc").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CoreChoices, ForgettingEmptiesTheMemoryAndRemovesItsFile) {
    TwoPropertyResult result;
    core->recordChoice("ann", &result);
    ASSERT_NE(::GetFileAttributesA(folder.sub("Choices.vxc").c_str()), INVALID_FILE_ATTRIBUTES);
    core->forgetChoices();
    EXPECT_EQ(core->getChoiceMemory().size(), 0u);
    EXPECT_EQ(::GetFileAttributesA(folder.sub("Choices.vxc").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CoreChoices, AChoiceFileIsReadWhenTheCoreIsPointedAtIt) {
    {
        VChoiceMemory earlier(folder.sub("Earlier.vxc"));
        earlier.record("notes", VProperty::FileType, "C:\\notes.txt", VChoiceMemory::currentTime());
        ASSERT_TRUE(earlier.save());
    }
    core->setChoiceFile(folder.sub("Earlier.vxc"));
    TwoPropertyResult result;
    core->recordChoice("ann", &result);
    VChoiceMemory saved(folder.sub("Earlier.vxc"));
    ASSERT_TRUE(saved.load());
    EXPECT_EQ(saved.size(), 2u) << "the earlier choices were lost to the next save";
}
