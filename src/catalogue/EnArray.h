#pragma once
#include "framework/Array.h"

// The program's array: the framework array plus a linear search.
template <class T>
class CEnArray : public CArray<T, const T&> {
public:
    // Index of the first element equal to `value` (==), or -1. For arrays
    // of pointers this compares the pointers, not what they point to.
    int Find(const T& value) const
    {
        for (int i = 0; i < this->GetSize(); ++i)
            if (this->items_[static_cast<size_t>(i)] == value)
                return i;
        return -1;
    }
};
