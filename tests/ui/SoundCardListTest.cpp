#include "fakes/TFakeWaveOut.h"
#include "fakes/TMemoryAudioOutput.h"
#include "platform/linux/TIconvCodec.h"
#include "platform/linux/TPulseWaveOut.h"
#include "ui/DaxAudioUtils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using namespace parlino;
using namespace parlino::test;
using ::testing::ElementsAre;

namespace {

TFakeWaveOut Devices(std::vector<std::string> names) {
    TFakeWaveOut waveOut;
    for (std::string& name : names)
        waveOut.Devices.push_back({std::move(name)});
    return waveOut;
}

} // namespace

TEST(SoundCardList, NoDevicesGiveAnEmptyListAndMinusOne) {
    TFakeWaveOut waveOut;
    std::vector<std::string> list{"stale entry"};
    EXPECT_EQ(GetSoundCardList(waveOut, list, true), -1);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(waveOut.Queries.empty()); // not even the mapper is asked
}

TEST(SoundCardList, ListsDefaultThenDevicesInOrderAndFindsTheMapperName) {
    TFakeWaveOut waveOut =
        Devices({"Speakers", "Fake Sound Mapper", "Headphones", "Fake Sound Mapper", "HDMI"});
    std::vector<std::string> list{"stale entry"};
    // Two names equal the mapper's: the higher number wins.
    EXPECT_EQ(GetSoundCardList(waveOut, list, true), 3);
    EXPECT_THAT(list, ElementsAre("(default)", "Speakers", "Fake Sound Mapper", "Headphones",
                                  "Fake Sound Mapper", "HDMI"));
    EXPECT_THAT(waveOut.Queries, ElementsAre(WAVE_MAPPER, 0u, 1u, 2u, 3u, 4u));
}

TEST(SoundCardList, MapperNameMatchingNoDeviceGivesZero) {
    TFakeWaveOut waveOut = Devices({"Speakers", "Headphones"});
    std::vector<std::string> list;
    EXPECT_EQ(GetSoundCardList(waveOut, list, true), 0);
    EXPECT_THAT(list, ElementsAre("(default)", "Speakers", "Headphones"));

    // Letter case counts.
    waveOut = Devices({"speakers", "SPEAKERS"});
    waveOut.MapperName = "Speakers";
    EXPECT_EQ(GetSoundCardList(waveOut, list, true), 0);
}

TEST(SoundCardList, FailingQueriesKeepTheirPlaceWithTheMessageText) {
    TFakeWaveOut waveOut = Devices({"A", "B", "C", "D", "E"});
    waveOut.Devices[0].Result = MMSYSERR_BADDEVICEID;
    waveOut.Devices[1].Result = MMSYSERR_NODRIVER;
    waveOut.Devices[2].Result = MMSYSERR_NOMEM;
    waveOut.Devices[3].Result = MMSYSERR_ERROR;
    std::vector<std::string> list;
    GetSoundCardList(waveOut, list, true);
    EXPECT_THAT(list, ElementsAre("(default)", "Specified device identifier is out of range.",
                                  "No device driver is present.",
                                  "Unable to allocate or lock memory.", "Unknown error.", "E"));
}

TEST(SoundCardList, FailedMapperQueryMeansAnEmptyDefaultName) {
    // The fake fills a failed record with junk; the list must not read it.
    TFakeWaveOut waveOut = Devices({"Speakers", "", "Headphones"});
    waveOut.MapperResult = MMSYSERR_NODRIVER;
    std::vector<std::string> list;
    EXPECT_EQ(GetSoundCardList(waveOut, list, true), 1);
    EXPECT_THAT(list, ElementsAre("(default)", "Speakers", "", "Headphones"));
}

TEST(SoundCardList, NameOfAllThirtyTwoBytesWithoutZeroIsTakenWhole) {
    const std::string full(32, 'N');
    TFakeWaveOut waveOut = Devices({full + "tail beyond the record", "short"});
    waveOut.MapperName = full;
    std::vector<std::string> list;
    EXPECT_EQ(GetSoundCardList(waveOut, list, true), 0);
    EXPECT_THAT(list, ElementsAre("(default)", full, "short"));
}

TEST(SoundCardList, InputDirectionHasNoDevices) {
    TFakeWaveOut waveOut = Devices({"Speakers"});
    std::vector<std::string> list{"stale entry"};
    EXPECT_EQ(GetSoundCardList(waveOut, list, false), -1);
    EXPECT_TRUE(list.empty());
}

TEST(PulseWaveOut, FollowsTheOutputDeviceListAndCutsNamesToThirtyOneBytes) {
    const std::string longName = "A sink with a description much longer than any record";
    TMemoryAudioOutput output({"Test", longName, "TestB"});
    TPulseWaveOut waveOut(output);
    ASSERT_EQ(waveOut.WaveOutGetNumDevs(), 3u);

    TWaveOutCapsA caps;
    std::memset(&caps, 'x', sizeof caps);
    ASSERT_EQ(waveOut.WaveOutGetDevCapsA(1, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.ProductName[31], '\0');
    EXPECT_EQ(std::string(caps.ProductName), longName.substr(0, 31));
    EXPECT_EQ(waveOut.WaveOutGetDevCapsA(3, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(waveOut.WaveOutGetDevCapsA(0, nullptr, sizeof caps), MMSYSERR_INVALPARAM);

    std::vector<std::string> list;
    EXPECT_EQ(GetSoundCardList(waveOut, list, true), 0);
    EXPECT_THAT(list, ElementsAre("(default)", "Test", longName.substr(0, 31), "TestB"));
}

TEST(PulseWaveOut, NumbersStayThoseOfTheListTakenWhenCounting) {
    TMemoryAudioOutput output({"One", "Two"});
    TPulseWaveOut waveOut(output);
    ASSERT_EQ(waveOut.WaveOutGetNumDevs(), 2u);
    output.SetDevices({"Two"}); // a device goes away while the list is filled
    TWaveOutCapsA caps{};
    ASSERT_EQ(waveOut.WaveOutGetDevCapsA(1, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.ProductName, "Two");
    EXPECT_EQ(waveOut.WaveOutGetNumDevs(), 1u);

    output.SetDevices({});
    std::vector<std::string> list;
    EXPECT_EQ(GetSoundCardList(waveOut, list, true), -1);
    EXPECT_TRUE(list.empty());
}

TEST(PulseWaveOut, NamesBecomeAnsiInTheSystemCodePage) {
    // "Наушники" and a long name of Cyrillic letters, two UTF-8 bytes each.
    const std::string headphones =
        "\xD0\x9D\xD0\xB0\xD1\x83\xD1\x88\xD0\xBD\xD0\xB8\xD0\xBA\xD0\xB8";
    std::string longName;
    for (int i = 0; i < 20; ++i)
        longName += "\xD0\x96"; // Ж
    TMemoryAudioOutput output({headphones, longName});

    TIconvCodec cp1251(1251);
    TPulseWaveOut ansi(output, &cp1251);
    std::vector<std::string> list;
    GetSoundCardList(ansi, list, true);
    EXPECT_THAT(list, ElementsAre("(default)", "\xCD\xE0\xF3\xF8\xED\xE8\xEA\xE8",
                                  std::string(20, '\xC6')));

    // Without a codec the UTF-8 is cut before a whole character, never inside one.
    TPulseWaveOut utf8(output);
    GetSoundCardList(utf8, list, true);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1], headphones);
    EXPECT_EQ(list[2], longName.substr(0, 30));
}

namespace {

// An output whose devices have identities of their own.
class TIdentifiedOutput final : public IAudioOutput {
public:
    std::vector<TAudioDeviceInfo> Devices;
    std::vector<std::string> OutputDevices() override {
        std::vector<std::string> names;
        for (const auto& d : Devices) names.push_back(d.Name);
        return names;
    }
    std::vector<TAudioDeviceInfo> OutputDeviceInfos() override { return Devices; }
    std::unique_ptr<IAudioStream> OpenStream(int, const TAudioFormat&, TAudioStreamEvents) override { return nullptr; }
};

} // namespace

TEST(PulseWaveOut, CardsCutAlikeKeepTheirOwnIdentities) {
    const std::string common = "Navi 21/23 HDMI/DP Audio Controller";
    TIdentifiedOutput output;
    output.Devices = {{"analog", "Speakers"}, {"hdmi2", common + " (HDMI 2)"}, {"hdmi3", common + " (HDMI 3)"}};
    TPulseWaveOut waveOut(output);
    std::vector<std::string> list;
    GetSoundCardList(waveOut, list, true);
    EXPECT_THAT(list, ElementsAre("(default)", "Speakers", common.substr(0, 31), common.substr(0, 31)));
    EXPECT_THAT(GetSoundCardIds(waveOut, list), ElementsAre("", "analog", "hdmi2", "hdmi3"));
    EXPECT_EQ(waveOut.WaveOutGetInstanceId(3), "");
    // The identities are those of the reading the list was filled from.
    output.Devices.erase(output.Devices.begin());
    EXPECT_THAT(GetSoundCardIds(waveOut, list), ElementsAre("", "analog", "hdmi2", "hdmi3"));
    list.clear();
    EXPECT_TRUE(GetSoundCardIds(waveOut, list).empty());
}
