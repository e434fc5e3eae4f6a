#pragma once
#include <memory>
#include <utility>
#include <vector>

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
            if (this->items[static_cast<size_t>(i)] == value)
                return i;
        return -1;
    }
};

// An array that owns what its elements point to: removing an element, or
// destroying the array, deletes it. Elements are read as plain pointers,
// good while the element stays in the array.
template <class T>
class COwningArray {
public:
    COwningArray() = default;
    COwningArray(const COwningArray&) = delete;
    COwningArray& operator=(const COwningArray&) = delete;

    int GetSize() const { return static_cast<int>(items_.size()); }
    int GetCount() const { return GetSize(); }
    bool IsEmpty() const { return items_.empty(); }
    int GetUpperBound() const { return GetSize() - 1; }

    // As the framework array: an index outside the array is a bug and throws.
    T* GetAt(int index) const
    {
        if (index < 0 || index >= GetSize())
            throw CInvalidArgException();
        return items_[static_cast<size_t>(index)].get();
    }
    T* operator[](int index) const { return GetAt(index); }

    // Takes `item` over; returns the index of the new element.
    int Add(std::unique_ptr<T> item)
    {
        items_.push_back(std::move(item));
        return GetSize() - 1;
    }

    // Index of the element that is `item` itself, or -1.
    int Find(const T* item) const
    {
        for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i].get() == item)
                return static_cast<int>(i);
        return -1;
    }

    // Out-of-range requests are ignored; a count past the end stops there.
    void RemoveAt(int index, int count = 1)
    {
        if (index < 0 || index >= GetSize() || count <= 0)
            return;
        const int last = index + (count < GetSize() - index ? count : GetSize() - index);
        items_.erase(items_.begin() + index, items_.begin() + last);
    }

    void RemoveAll() { items_.clear(); }

    // Range-for over the elements as pointers.
    class const_iterator {
    public:
        using Inner = typename std::vector<std::unique_ptr<T>>::const_iterator;
        explicit const_iterator(Inner inner) : inner_(inner) {}
        T* operator*() const { return inner_->get(); }
        const_iterator& operator++()
        {
            ++inner_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return inner_ == other.inner_; }
        bool operator!=(const const_iterator& other) const { return inner_ != other.inner_; }

    private:
        Inner inner_;
    };
    const_iterator begin() const { return const_iterator(items_.begin()); }
    const_iterator end() const { return const_iterator(items_.end()); }

private:
    std::vector<std::unique_ptr<T>> items_;
};
