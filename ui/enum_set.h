// A small set over an enumeration with values 0 .. bits-1, stored as a bit mask.
#pragma once

#include <initializer_list>

namespace ui {

template <class E, class Bits>
class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> items) {
        for (E e : items) insert(e);
    }
    static constexpr EnumSet fromBits(Bits bits) {
        EnumSet s;
        s.bits_ = bits;
        return s;
    }

    constexpr bool contains(E e) const { return (bits_ & mask(e)) != 0; }
    constexpr void insert(E e) { bits_ = static_cast<Bits>(bits_ | mask(e)); }
    constexpr void erase(E e) { bits_ = static_cast<Bits>(bits_ & ~mask(e)); }
    constexpr void clear() { bits_ = 0; }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr Bits bits() const { return bits_; }

    constexpr EnumSet operator|(EnumSet o) const { return fromBits(static_cast<Bits>(bits_ | o.bits_)); }
    friend constexpr bool operator==(EnumSet, EnumSet) = default;

private:
    static constexpr Bits mask(E e) { return static_cast<Bits>(1u << static_cast<unsigned>(e)); }
    Bits bits_ = 0;
};

}  // namespace ui
