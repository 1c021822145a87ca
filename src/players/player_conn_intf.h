#pragma once
// The position source the playback controller reads: the program's own
// manual clock or a follower of an external player. Sources are shared
// through std::shared_ptr; the main window holds the only lasting reference,
// so assigning a new source frees the previous one.

#include <cstdint>
#include <memory>

namespace parlino {

class IPlayerConnection {
public:
    virtual ~IPlayerConnection() = default;
    virtual bool FindPlayer() = 0;
    virtual bool IsPlaying() = 0;
    virtual bool IsConnected() = 0;      // reachable now (every tick)
    virtual bool IsReady() = 0;
    virtual int32_t GetPosition() = 0;   // milliseconds; may be negative
    virtual void SetPosition(int32_t value) = 0;
    virtual void Reserved() = 0;
    virtual void Stop() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Activate() = 0;         // bring the player forward
};

using TPlayerConnection = std::shared_ptr<IPlayerConnection>;

} // namespace parlino
