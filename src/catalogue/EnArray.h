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

// An array that owns what its elements point to: removing an element, or
// destroying the array, deletes it.
template <class T>
class COwningArray : public CEnArray<T*> {
public:
    COwningArray() = default;
    ~COwningArray() override { COwningArray::RemoveAll(); }

    void RemoveAll() override
    {
        for (T* item : this->items_)
            delete item;
        CEnArray<T*>::RemoveAll();
    }

    // Out-of-range requests are ignored; a count past the end stops there.
    void RemoveAt(int index, int count = 1) override
    {
        if (index < 0 || index >= this->GetSize() || count <= 0)
            return;
        const int end = index + (count < this->GetSize() - index ? count : this->GetSize() - index);
        for (int i = index; i < end; ++i)
            delete this->items_[static_cast<size_t>(i)];
        CEnArray<T*>::RemoveAt(index, end - index);
    }
};
