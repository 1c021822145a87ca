#include "fakes/TFakeSpeechVoice.h"
#include "fakes/TQueuePoster.h"
#include "platform/linux/TIconvCodec.h"
#include "speech/UbSmartSpeech.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace parlino;
using ::testing::ElementsAre;

namespace {

class SmartSpeech : public ::testing::Test {
protected:
    explicit SmartSpeech(uint32_t systemCodePage = 1251) : Codec(systemCodePage) {}
    // Builds the facade over the fakes; call after filling the fake lists.
    TUbSmartSpeech& Make(bool modern = true, bool legacy = false) {
        TUbSmartSpeechBackends b;
        b.Sapi5Installed = [modern] { return modern; };
        b.CreateVoice = [this, modern]() -> std::unique_ptr<ISpeechVoice> {
            if (!modern) return nullptr;
            auto v = std::make_unique<test::TFakeSpeechVoice>(std::move(Pending));
            Voice = v.get();
            return v;
        };
        b.Sapi4Installed = [legacy] { return legacy; };
        b.Sapi4Speech = legacy ? &Legacy : nullptr;
        Speech = std::make_unique<TUbSmartSpeech>(std::move(b), Codec, Poster);
        return *Speech;
    }
    void AddVoice(const char16_t* name) { Pending.VoiceTokens.push_back(std::make_shared<test::TFakeToken>(name)); }
    void AddOutput(const char16_t* name) { Pending.OutputTokens.push_back(std::make_shared<test::TFakeToken>(name)); }
    std::u16string LastSpoken() const { return Voice->Calls.back().Text; }

    TIconvCodec Codec;
    test::TQueuePoster Poster;
    test::TFakeSpeechVoice Pending;
    test::TFakeSpeechVoice* Voice = nullptr;
    test::TFakeUbSpeech Legacy;
    std::unique_ptr<TUbSmartSpeech> Speech;
};

} // namespace

TEST_F(SmartSpeech, LegacyVoicesComeFirstAndModernDuplicatesAndExcludedNamesAreLeftOut) {
    Legacy.Modes = {"Mike", "Alyona (Russian) SAPI4 voice", "Mary 22050 L"};
    AddVoice(u"Anna");
    AddVoice(u"MIKE");           // same name as a legacy mode in other case
    AddVoice(u"Voice 8000 u x"); // excluded in any letter case
    AddVoice(u"Anna");           // duplicate of an earlier modern voice
    AddVoice(u"\u0418\u0440\u0438\u043D\u0430"); // a Cyrillic name, in the system code page
    TUbSmartSpeech& s = Make(true, true);
    EXPECT_THAT(s.VoiceNames(), ElementsAre("Mike", "Anna", "\xC8\xF0\xE8\xED\xE0"));
    EXPECT_TRUE(s.Voices()[0].second->IsSapi4());
    const TUbSmartSpeechVoiceInfo& anna = *s.Voices()[1].second;
    EXPECT_TRUE(anna.IsSapi5());
    EXPECT_EQ(anna.SpeedMin, -10);
    EXPECT_EQ(anna.SpeedMax, 10);
    EXPECT_EQ(anna.PitchMin, -50);
    EXPECT_EQ(anna.PitchMax, 50);
    EXPECT_EQ(anna.VolumeMax, 100);
    // Selecting the hidden modern voice's name selects the legacy mode.
    s.SelectVoice("mike");
    EXPECT_TRUE(s.GetInfo().IsSapi4());
    EXPECT_EQ(Legacy.Selected, "Mike");
    EXPECT_EQ(s.GetInfo().SpeedMin, 50);
    EXPECT_EQ(s.GetInfo().PitchMax, 300);
    EXPECT_EQ(s.GetInfo().VolumeMax, 100);
}

TEST_F(SmartSpeech, NoEngineAtAll) {
    TUbSmartSpeech& s = Make(false, false);
    EXPECT_TRUE(s.Voices().empty());
    EXPECT_TRUE(s.AudioOutputs().empty());
    EXPECT_FALSE(s.VoiceSelected());
    EXPECT_EQ(s.VoiceName(), "");
    EXPECT_NO_THROW(s.Stop());
    try {
        s.Speak();
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "TUbSmartSpeech.GetInfo: Select voice first!");
    }
    EXPECT_ANY_THROW(s.IsIdle());
    EXPECT_ANY_THROW(s.SelectVoice("")); // an empty list selects nothing
    EXPECT_FALSE(s.VoiceSelected());
    EXPECT_THROW(s.SetSpeed(3), std::exception); // the setters store their value before failing
    EXPECT_EQ(s.SpeedValue, 3);
    EXPECT_THROW(s.SetPitch(7), std::exception);
    EXPECT_EQ(s.PitchValue, 7);
}

TEST_F(SmartSpeech, ListingFailuresLeaveTheListsEmptySilently) {
    Pending.FailListing = true;
    Legacy.Modes = {"Mike"};
    TUbSmartSpeech& s = Make(true, true);
    EXPECT_THAT(s.VoiceNames(), ElementsAre("Mike"));
    EXPECT_TRUE(s.AudioOutputs().empty());
}

TEST_F(SmartSpeech, SelectionByNameFallsBackToTheFirstVoiceAndResetsParameters) {
    AddVoice(u"Anna");
    AddVoice(u"Boris");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("BORIS");
    EXPECT_EQ(s.VoiceName(), "Boris");
    EXPECT_EQ(Voice->CurrentVoice, Voice->VoiceTokens[1]);
    EXPECT_EQ(s.GetSpeed(), 0);
    EXPECT_EQ(s.GetPitch(), 0);
    EXPECT_EQ(s.GetVolume(), 100);
    EXPECT_THAT(std::vector<std::string>(Voice->Log.end() - 3, Voice->Log.end()), ElementsAre("Voice", "Rate", "Volume"));
    s.SetPitch(-5);
    s.SelectVoice("nobody");
    EXPECT_EQ(s.VoiceName(), "Anna");
    EXPECT_EQ(s.GetPitch(), 0);
    s.SelectVoice("");
    EXPECT_EQ(s.VoiceName(), "Anna");
}

TEST_F(SmartSpeech, MarkupEscapesAndCarriesThePitchPrefixWithFlags11) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("");
    s.SetPitch(-5);
    s.Text = {"a>b"};
    s.Speak();
    EXPECT_EQ(LastSpoken(), u"<PITCH ABSMIDDLE=\"-5\">a&gt;b\r\n");
    EXPECT_EQ(Voice->Calls.back().Flags, 11);
    EXPECT_EQ(Voice->Interests, 39);
    // "&" passes unchanged; several lines each end with CR LF.
    s.SetPitch(12);
    s.Text = {"x & y <", "z"};
    EXPECT_EQ(s.BuildSpeechText(), "<PITCH ABSMIDDLE=\"12\">x & y &lt;\r\nz\r\n");
}

TEST_F(SmartSpeech, TheCallersOwnPitchTagsSurviveInTheirPlace) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("");
    s.Text = {"1<2 <PITCH MIDDLE=\"10\">high</PITCH> 3>2"};
    EXPECT_EQ(s.BuildSpeechText(),
              "<PITCH ABSMIDDLE=\"0\">1&lt;2 <PITCH MIDDLE=\"10\">high&lt;/PITCH&gt; 3&gt;2\r\n");
    // Only the tag as written is the caller's: a lower-case twin is text.
    s.Text = {"<pitch a=1>x<PITCH a=1>y"};
    EXPECT_EQ(s.BuildSpeechText(), "<PITCH ABSMIDDLE=\"0\">&lt;pitch a=1&gt;x<PITCH a=1>y\r\n");
    // Tags with different bodies each keep their own, in their own place.
    s.Text = {"<PITCH b=2>1<PITCH a=1>2<PITCH b=2>3"};
    EXPECT_EQ(s.BuildSpeechText(), "<PITCH ABSMIDDLE=\"0\"><PITCH b=2>1<PITCH a=1>2<PITCH b=2>3\r\n");
    // A tag without a body ends the protection of those after it.
    s.Text = {"<PITCH a>1<PITCH >2<PITCH b>"};
    EXPECT_EQ(s.BuildSpeechText(), "<PITCH ABSMIDDLE=\"0\"><PITCH a>1&lt;PITCH &gt;2&lt;PITCH b&gt;\r\n");
    // The tag start repeated inside itself ends the loop; control bytes 2 are dropped.
    s.Text = {"<PITCH <PITCH a>\x02!"};
    EXPECT_EQ(s.BuildSpeechText(), "<PITCH ABSMIDDLE=\"0\"><PITCH <PITCH a>!\r\n");
    s.Text = {"<PITCH >"};
    EXPECT_EQ(s.BuildSpeechText(), "<PITCH ABSMIDDLE=\"0\">&lt;PITCH &gt;\r\n");
}

TEST_F(SmartSpeech, WithoutTagsNothingIsAddedAndFlagsAre3) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("");
    s.UseTags = false;
    s.SetPitch(20);
    s.Text = {"a<b"};
    s.Speak();
    EXPECT_EQ(LastSpoken(), u"a<b\r\n");
    EXPECT_EQ(Voice->Calls.back().Flags, 3);
}

TEST_F(SmartSpeech, StressVoicesDropAngleBracketsAfterLetters) {
    Legacy.Modes = {"Alyona Russian"};
    TUbSmartSpeech& s = Make(false, true);
    s.SelectVoice("");
    // Windows-1251: "\xEC\xE0<\xEC\xE0" (ma<ma): the sign goes and the letter before it is raised.
    s.Text = {"\xEC\xE0<\xEC\xE0 <\xEC\xE0 \xEC\xE0>"};
    EXPECT_EQ(s.BuildSpeechText(), "\xEC\xC0\xEC\xE0 <\xEC\xE0 \xEC\xE0\r\n");
    s.Speak();
    EXPECT_THAT(Legacy.Spoken, ElementsAre("\xEC\xC0\xEC\xE0 <\xEC\xE0 \xEC\xE0\r\n"));
}

TEST_F(SmartSpeech, CodePageTurnsTheTextIntoWideText) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("");
    s.UseTags = false;
    s.Text = {"\xE9"};
    s.CodePage = 1252;
    s.Speak();
    EXPECT_EQ(LastSpoken(), u"\u00E9\r\n");
    s.CodePage = 0; // the system's code page, 1251 here
    s.Speak();
    EXPECT_EQ(LastSpoken(), u"\u0439\r\n");
}

TEST_F(SmartSpeech, OutputsRouteByIndexAndAnIndexBeyondTheListFails) {
    AddVoice(u"Anna");
    AddOutput(u"Card A");
    AddOutput(u"Card B");
    TUbSmartSpeech& s = Make();
    ASSERT_EQ(s.AudioOutputs().size(), 2u);
    EXPECT_EQ(s.AudioOutputs()[1].first, "Card B");
    s.SelectVoice("");
    s.Text = {"x"};
    s.AudioOutput = 1;
    s.Speak();
    EXPECT_EQ(Voice->Calls.back().Output, s.AudioOutputs()[1].second);
    s.AudioOutput = -1;
    s.Speak();
    EXPECT_EQ(Voice->Calls.back().Output, nullptr);
    s.AudioOutput = 2;
    const size_t calls = Voice->Calls.size();
    EXPECT_ANY_THROW(s.Speak());
    EXPECT_EQ(Voice->Calls.size(), calls);
}

TEST_F(SmartSpeech, SpeakingFlagFollowsTheStreamsAndALateEndOfACutStreamIsIgnored) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("");
    int starts = 0, stops = 0;
    std::vector<uint32_t> words;
    s.OnStart = [&](TUbSmartSpeech*) { ++starts; };
    s.OnStop = [&](TUbSmartSpeech*) { ++stops; };
    s.OnWordPosition = [&](TUbSmartSpeech*, uint32_t p) { words.push_back(p); };
    EXPECT_TRUE(s.IsIdle());
    s.Text = {"one"};
    s.Speak();
    const int first = Voice->NextStream;
    EXPECT_FALSE(s.IsIdle()); // busy from the moment Speak returns
    Voice->FireStart(first);
    Voice->FireWord(first, 24, 3);
    s.Speak(); // two Speaks in a row: the second cuts the first (flag 2 is set)
    EXPECT_EQ(Voice->Calls.back().Flags & SVSFPurgeBeforeSpeak, SVSFPurgeBeforeSpeak);
    const int second = Voice->NextStream;
    Voice->FireEnd(first); // the cut-off stream ends late
    EXPECT_FALSE(s.IsIdle());
    Voice->FireEnd(second);
    EXPECT_TRUE(s.IsIdle());
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(stops, 1);
    EXPECT_THAT(words, ElementsAre(24u));
}

TEST_F(SmartSpeech, StopAfterPauseResumesPurgesAndIsIdle) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("");
    s.Text = {"long text"};
    s.Speak();
    s.Pause();
    EXPECT_TRUE(s.IsPaused());
    EXPECT_FALSE(s.IsIdle());
    s.Stop();
    EXPECT_FALSE(s.IsPaused());
    EXPECT_TRUE(s.IsIdle());
    EXPECT_FALSE(Voice->IsPaused);
    EXPECT_EQ(Voice->Log.back(), "Speak"); // the purge came after the resume
    EXPECT_EQ(Voice->Calls.back().Text, u"");
    EXPECT_EQ(Voice->Calls.back().Flags, SVSFPurgeBeforeSpeak);
    // Stop when idle sends nothing more.
    const size_t calls = Voice->Calls.size();
    s.Stop();
    EXPECT_EQ(Voice->Calls.size(), calls);
}

TEST_F(SmartSpeech, PauseMarksBecomeTheModernVoicesSilenceTag) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("");
    // The mark a rule puts in, and the legacy tag with the full stops the
    // rules engine puts around a mark written in the subtitle.
    s.Text = {"Stop.<#pau500> Go", "a .\\PAU=500\\.b \\pau=70\\c <#PAU20000>d"};
    EXPECT_EQ(s.BuildSpeechText(), "<PITCH ABSMIDDLE=\"0\">Stop.<SILENCE MSEC=\"500\"/> Go\r\n"
                                   "a <SILENCE MSEC=\"500\"/>b <SILENCE MSEC=\"70\"/>c <SILENCE MSEC=\"10000\"/>d\r\n");
    // What only looks like a mark is text; a control byte 3 of the caller's is dropped.
    s.Text = {"<#pau> <#pau5 \\Pau=\\ \\Pau=5 x\x03y"};
    EXPECT_EQ(s.BuildSpeechText(), "<PITCH ABSMIDDLE=\"0\">&lt;#pau&gt; &lt;#pau5 \\Pau=\\ \\Pau=5 xy\r\n");
    // Without tags the text is spoken as it is.
    s.UseTags = false;
    s.Text = {"a<#pau500>b"};
    EXPECT_EQ(s.BuildSpeechText(), "a<#pau500>b\r\n");
}

TEST_F(SmartSpeech, PauseMarksBecomeTheLegacyVoicesPauseTag) {
    Legacy.Modes = {"Mike", "Alyona Russian"};
    TUbSmartSpeech& s = Make(false, true);
    s.SelectVoice("Mike");
    s.Text = {"Stop.<#pau500> Go .\\PAU=500\\.on \\Spd=5\\"};
    EXPECT_EQ(s.BuildSpeechText(), "Stop.\\Pau=500\\ Go \\Pau=500\\on \\Spd=5\\\r\n");
    // A stress voice leaves the mark's brackets alone, after a letter too.
    s.SelectVoice("Alyona Russian");
    s.Text = {"ma<#pau500>ma<ma"};
    EXPECT_EQ(s.BuildSpeechText(), "ma\\Pau=500\\mAma\r\n");
}

TEST_F(SmartSpeech, LegacyVoicesUseTheComponentsFlagsAndSettings) {
    Legacy.Modes = {"Mike"};
    TUbSmartSpeech& s = Make(false, true);
    s.SelectVoice("");
    s.AudioOutput = 3;
    s.Text = {"hi <b>"};
    s.Speak();
    EXPECT_EQ(Legacy.DeviceNumber, 3);
    EXPECT_EQ(Legacy.Output, TUbSpeechOutput::soGeneral);
    EXPECT_THAT(Legacy.Spoken, ElementsAre("hi <b>\r\n")); // no escaping for the legacy engine
    Legacy.IsReady = false;
    EXPECT_FALSE(s.IsIdle());
    s.SetPitch(70000); // stored whole, handed on as 16 bits
    EXPECT_EQ(s.PitchValue, 70000);
    EXPECT_EQ(Legacy.Pitch, 70000 - 65536);
    s.Stop();
    EXPECT_EQ(Legacy.StopCalls, 1);
    Legacy.FailSelectWith = "Specified Speech Engine not found";
    EXPECT_THROW(s.SelectVoice("Mike"), std::exception);
    EXPECT_TRUE(s.VoiceSelected()); // the entry stays selected
}

// ---- Failures, devices and long texts --------------------------------------

TEST_F(SmartSpeech, ASpeakThatFailsLeavesTheFacadeIdleAndTheNextOneWorks) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("");
    s.Text = {"one"};
    s.Speak();
    Voice->FailSpeak = true; // the voice cannot open its sound device
    EXPECT_ANY_THROW(s.Speak());
    EXPECT_TRUE(s.IsIdle()) << "a caller waiting for idle would wait forever";
    Voice->FailSpeak = false;
    s.Speak();
    EXPECT_FALSE(s.IsIdle());
    Voice->FireEnd(Voice->NextStream);
    EXPECT_TRUE(s.IsIdle());
}

TEST_F(SmartSpeech, DeviceWarningNamesTheCardTheVoiceCouldNotUse) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make(false);
    EXPECT_EQ(s.DeviceWarning(), ""); // no voice at all yet
    Make();
    Speech->SelectVoice("");
    EXPECT_EQ(Speech->DeviceWarning(), "");
    Voice->Unavailable = std::make_shared<test::TFakeToken>(u"USB \u0413arnitura");
    EXPECT_EQ(Speech->DeviceWarning(),
              "Sound card \"USB \xC3" "arnitura\" is not available: speech goes to the default sound card.");
    Voice->Unavailable = nullptr; // the card is back
    EXPECT_EQ(Speech->DeviceWarning(), "");
}

namespace {

// Counts the bytes the facade has upper-cased.
class TCountingCodec final : public ITextCodec {
public:
    uint32_t SystemCodePage() const override { return FCodec.SystemCodePage(); }
    WideString ToWide(std::string_view ansi, uint32_t codePage) const override { return FCodec.ToWide(ansi, codePage); }
    std::string ToAnsi(std::u16string_view wide, uint32_t codePage) const override {
        return FCodec.ToAnsi(wide, codePage);
    }
    TLeadBytes LeadBytes(uint32_t codePage) const override { return FCodec.LeadBytes(codePage); }
    std::string AnsiUpperCase(std::string_view ansi) const override {
        UpperCased += ansi.size();
        return FCodec.AnsiUpperCase(ansi);
    }
    mutable size_t UpperCased = 0;

private:
    TIconvCodec FCodec{1252};
};

} // namespace

namespace {

// A Chinese system: GBK has "é" but no capital for it.
class SmartSpeechInGbk : public SmartSpeech {
protected:
    SmartSpeechInGbk() : SmartSpeech(936) {}
};

} // namespace

TEST(SmartSpeechText, ATextFullOfPitchTagsIsBuiltInOnePassOverIt) {
    TCountingCodec codec;
    test::TQueuePoster poster;
    test::TFakeSpeechVoice* voice = nullptr;
    TUbSmartSpeech s(test::FakeVoiceBackends(1, &voice), codec, poster);
    s.SelectVoice("");
    std::string text, expected;
    for (int i = 0; text.size() < 100000; ++i) {
        const std::string tag = "<PITCH MIDDLE=\"" + std::to_string(i % 50) + "\">";
        text += tag + "a<b ";
        expected += tag + "a&lt;b ";
    }
    s.Text = {text};
    codec.UpperCased = 0;
    const std::string built = s.BuildSpeechText();
    EXPECT_EQ(built, "<PITCH ABSMIDDLE=\"0\">" + expected + "\r\n");
    // Upper-casing the whole text once per tag was quadratic in its length.
    EXPECT_LE(codec.UpperCased, 2 * text.size());
}

TEST_F(SmartSpeechInGbk, ALetterWithoutCapitalDoesNotHideTheCallersPitchTag) {
    AddVoice(u"Anna");
    TUbSmartSpeech& s = Make();
    s.SelectVoice("");
    s.Text = {"caf\xA8\xA6 <PITCH absmiddle=\"5\">x<y"};
    EXPECT_EQ(s.BuildSpeechText(), "<PITCH ABSMIDDLE=\"0\">caf\xA8\xA6 <PITCH absmiddle=\"5\">x&lt;y\r\n");
}

TEST_F(SmartSpeechInGbk, StressVoicesRaiseTheWholeCharacterBeforeASign) {
    Legacy.Modes = {"Alyona Russian"};
    TUbSmartSpeech& s = Make(false, true);
    s.SelectVoice("");
    // GBK 81 61 is one character whose second byte is the letter "a": raising
    // that byte alone would turn it into 81 41, another character.
    s.Text = {"\x81\x61<b a<b \x81\x61>"};
    EXPECT_EQ(s.BuildSpeechText(), "\x81\x61" "b Ab \x81\x61\r\n");
}
