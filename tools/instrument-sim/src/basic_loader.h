#pragma once
// The instruments' text-mode Basic-Loader: erases, asks for S-records,
// checks each one and programs it, at 19200 baud. A real loader paces the
// sender with CTS; a pseudo-terminal has none, so this one reads slowly.
#include <string>
#include <string_view>

#include "instrument_line.h"
#include "profile.h"

namespace sim {

class BasicLoader {
public:
    static constexpr unsigned kBaud = 19200;

    BasicLoader(const Profile& profile, InstrumentLine& line);
    void enter();
    void received(std::string_view bytes);
    bool finished() const { return state_ == State::Done; }

private:
    enum class State { Idle, Erasing, Receiving, Failed, Done };
    void sendLine(const std::string& text, int delayMs);
    void onRecord(const std::string& text);

    const Profile& profile_;
    InstrumentLine& line_;
    State state_ = State::Idle;
    std::string buffer_;
    long records_ = 0;
};

}  // namespace sim
