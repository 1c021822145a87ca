#pragma once
#include "platform/IMprisBus.h"

#include <QDBusConnection>
#include <QObject>

#include <chrono>

namespace parlino {

// The session-bus client over Qt D-Bus. Requests are sent asynchronously
// with a time-out of TimeoutMs; their answers arrive through the Qt event
// loop of the thread that owns this object and wait in a list until
// TakeReplies. Each instance has a connection of its own, made again when
// the bus went away.
class TQtMprisBus final : public QObject, public IMprisBus {
public:
    static constexpr int TimeoutMs = 1000;

    TQtMprisBus();
    ~TQtMprisBus() override;

    bool Connected() override;
    void RequestNames() override;
    void RequestState(const std::string& service) override;
    std::vector<TMprisReply> TakeReplies() override;
    void Raise(const std::string& service) override;
    void SetVolume(const std::string& service, double volume) override;
    void PlayOrPause(const std::string& service, bool play) override;

private:
    void Connect();

    QString FName;
    QDBusConnection FBus;
    std::chrono::steady_clock::time_point FLastAttempt;
    std::vector<TMprisReply> FReplies;
};

} // namespace parlino
