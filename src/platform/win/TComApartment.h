#pragma once

namespace parlino {

// COM on the calling thread for the life of the object: a single-threaded
// apartment, or whatever the thread already had (then it is left as it is).
class TComApartment {
public:
    TComApartment();
    ~TComApartment();
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

private:
    bool FInitialised = false;
};

} // namespace parlino
