// SPDX-License-Identifier: GPL-3.0-or-later
#include "committurn.h"

namespace committurn {
namespace {

thread_local Scope *current = nullptr;

} // namespace

const char *Refused::what() const noexcept
{
    return "the run stopped before this file's turn; it was not written";
}

Scope::Scope(std::function<bool()> turn) : turn_(std::move(turn)), outer_(current)
{
    current = this;
}

Scope::~Scope()
{
    current = outer_;
}

std::function<bool()> currentTurn()
{
    return current ? current->turn_ : std::function<bool()>();
}

void await()
{
    if (current && current->turn_ && !current->turn_())
        throw Refused();
}

} // namespace committurn
