#include "ui/ControlKeys.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

namespace poremisu {

namespace {

using K = ControlKey;
using A = ControlAction;
using namespace modifier;

constexpr ControlKeyRow kRows[] = {
    {K::F5, kNone, A::Reload, PageFirst::No},
    {K::R, kCtrl, A::Reload, PageFirst::No},
    {K::F5, kShift, A::ReloadBypassingCache, PageFirst::No},
    {K::F5, kCtrl, A::ReloadBypassingCache, PageFirst::No},
    {K::R, kCtrl | kShift, A::ReloadBypassingCache, PageFirst::No},
    {K::Left, kAlt, A::Back, PageFirst::No},
    {K::MouseBack, kNone, A::Back, PageFirst::No},
    {K::Backspace, kNone, A::Back, PageFirst::Yes},
    {K::Right, kAlt, A::Forward, PageFirst::No},
    {K::MouseForward, kNone, A::Forward, PageFirst::No},
    {K::Backspace, kShift, A::Forward, PageFirst::Yes},
    {K::Plus, kCtrl, A::ZoomIn, PageFirst::No},
    {K::Plus, kCtrl | kShift, A::ZoomIn, PageFirst::No},  // "+" is a shifted key on many keyboards
    {K::Minus, kCtrl, A::ZoomOut, PageFirst::No},
    {K::Zero, kCtrl, A::ZoomReset, PageFirst::No},
    {K::P, kCtrl, A::Print, PageFirst::No},
    {K::Escape, kNone, A::Stop, PageFirst::Yes},
    {K::L, kCtrl, A::FocusAddress, PageFirst::No},
    {K::D, kAlt, A::FocusAddress, PageFirst::No},
    {K::F6, kNone, A::FocusAddress, PageFirst::No},
    {K::F11, kNone, A::FullScreen, PageFirst::No},
    {K::F, kCtrl, A::Find, PageFirst::No},
    {K::F3, kNone, A::FindNext, PageFirst::No},
    {K::F3, kShift, A::FindPrevious, PageFirst::No},
};

constexpr std::array kZooms = {0.3, 0.5, 0.67, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0};

}  // namespace

std::optional<ControlKeyRow> FindControlKey(ControlKey key, unsigned modifiers) {
    for (const ControlKeyRow& row : kRows) {
        if (row.key == key && row.modifiers == modifiers) return row;
    }
    return std::nullopt;
}

double NextZoom(double zoom, ControlAction action) {
    if (action == A::ZoomReset) return 1.0;
    if (action == A::ZoomIn) {
        auto next = std::upper_bound(kZooms.begin(), kZooms.end(), zoom + 1e-6);
        return next == kZooms.end() ? kZooms.back() : *next;
    }
    if (action == A::ZoomOut) {
        auto next = std::lower_bound(kZooms.begin(), kZooms.end(), zoom - 1e-6);
        return next == kZooms.begin() ? kZooms.front() : *std::prev(next);
    }
    return zoom;
}

}  // namespace poremisu
