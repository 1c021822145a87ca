#pragma once
// Fakes of the platform services, settable and observable by tests.

#include "platform/TPlatform.h"
#include "platform/TSystemServices.h"

#include <string>
#include <vector>

namespace parlino::test {

class TFakeLocaleInfo final : public ILocaleInfo {
public:
    char Separator = ':';
    char TimeSeparator() const override { return Separator; }
};

// A clock the test moves by hand; it wraps at 2^32 like the real one.
class TFakeTickCounter final : public ITickCounter {
public:
    uint32_t Now = 0;
    uint32_t GetTickCount() const override { return Now; }
    void Advance(uint32_t ms) { Now += ms; }
};

// Folders under a fresh temporary folder of its own, removed with the fake,
// so that each test starts without a settings file: "config" and "data"
// exist, "program" does not unless the test makes it.
class TFakeFolders final : public IKnownFolders {
public:
    TFakeFolders();
    ~TFakeFolders() override;
    TFakeFolders(const TFakeFolders&) = delete;
    TFakeFolders& operator=(const TFakeFolders&) = delete;

    std::string Root;
    std::string Local, Data, Common;
    std::string Temp = "/tmp";
    std::string Program;
    std::string Runtime;
    std::string LocalAppData() const override { return Local; }
    std::string AppData() const override { return Data; }
    std::string CommonAppData() const override { return Common; }
    std::string TempPath() const override { return Temp; }
    std::string ProgramFolder() const override { return Program; }
    std::string RuntimeFolder() const override { return Runtime; }
};

// Records every open request instead of starting anything.
class TFakeShell final : public IShell {
public:
    struct TCall {
        std::string Target, Parameters;
        bool Maximized;
    };
    std::vector<TCall> Calls;
    void Open(const std::string& target, const std::string& parameters, bool maximized) override {
        Calls.push_back({target, parameters, maximized});
    }
};

// Records every message instead of showing a box.
class TFakeMessageBoxes final : public IMessageBoxes {
public:
    struct TMessage {
        std::string Caption, Text;
    };
    std::vector<TMessage> Shown;
    void ShowInformation(const std::string& caption, const std::string& text) override {
        Shown.push_back({caption, text});
    }
};

// The real codec with a fixed system code page (1252 unless told),
// so that tests do not depend on the machine's locale.
struct TFakePlatform {
    explicit TFakePlatform(uint32_t systemCodePage = 1252) : Codec(systemCodePage) {}
    TSystemCodec Codec;
    TFakeLocaleInfo Locale;
    TFakeTickCounter Ticks;
    TFakeFolders Folders;
    TFakeShell Shell;
    TFakeMessageBoxes Messages;
    TPlatform Platform{Codec, Locale, Ticks, Folders, Shell, Messages};
};

} // namespace parlino::test
