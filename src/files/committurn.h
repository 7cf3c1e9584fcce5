// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <exception>
#include <functional>

// A run that prepares the saves of several files at once still changes them
// one after another, in its own order, and none after one that failed. A
// save is parsed, edited and checked in memory; right before it changes the
// file on disk it asks for its thread's turn, waiting for it if need be.
namespace committurn {

// Thrown by a save that was refused its turn: the file is as it was.
struct Refused : std::exception {
    const char *what() const noexcept override;
};

// Called by a save right before it changes the file; throws Refused when the
// thread's turn says no.
void await();

// The turn of the saves on this thread: empty when every save may. A save
// made on another thread for this one (TagLib on a large stack) takes it
// along in a Scope of its own.
std::function<bool()> currentTurn();

// The turn for the saves on this thread while it lives: waits, then says
// whether the save may go ahead. Scopes nest; without one every save may.
class Scope {
public:
    explicit Scope(std::function<bool()> turn);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    friend void await();
    friend std::function<bool()> currentTurn();
    std::function<bool()> turn_;
    Scope *outer_;
};

} // namespace committurn
