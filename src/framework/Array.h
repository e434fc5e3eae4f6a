#pragma once
#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

// Raised by element access with an index outside the array. The program
// never relies on it: every caller checks the size first, so meeting this
// exception means a bug, not an expected condition.
class CInvalidArgException : public std::out_of_range {
public:
    CInvalidArgException() : std::out_of_range("array index out of range") {}
};

// The growable array every list of the program is built on. Elements are
// stored by value; an array of pointers does not own what they point to
// (an owning array is COwningArray, framework/EnArray.h).
template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray {
public:
    CArray() = default;
    ~CArray() = default;
    CArray(const CArray&) = delete;
    CArray& operator=(const CArray&) = delete;

    int GetSize() const { return static_cast<int>(items.size()); }
    int GetCount() const { return GetSize(); }
    bool IsEmpty() const { return items.empty(); }
    int GetUpperBound() const { return GetSize() - 1; }

    // Grows with default-constructed elements or cuts the tail off.
    void SetSize(int newSize) { items.resize(newSize < 0 ? 0 : static_cast<size_t>(newSize)); }

    const TYPE& GetAt(int index) const { return items[Checked(index)]; }
    TYPE& ElementAt(int index) { return items[Checked(index)]; }
    void SetAt(int index, ARG_TYPE element) { items[Checked(index)] = element; }
    const TYPE& operator[](int index) const { return GetAt(index); }
    TYPE& operator[](int index) { return ElementAt(index); }

    const TYPE* GetData() const { return items.data(); }
    TYPE* GetData() { return items.data(); }

    // Appends and returns the index of the new element.
    int Add(ARG_TYPE element)
    {
        items.push_back(element);
        return GetSize() - 1;
    }

    // Inserts `count` copies of `element` before `index`; an index past the
    // end grows the array with default elements up to it first.
    void InsertAt(int index, ARG_TYPE element, int count = 1)
    {
        if (index < 0 || count <= 0)
            return;
        TYPE copy = element; // `element` may live in this array
        if (index > GetSize())
            SetSize(index);
        items.insert(items.begin() + index, static_cast<size_t>(count), copy);
    }

    // Removes the run [index, min(index + count, size)); a start outside
    // the array or a count below 1 removes nothing.
    void RemoveAt(int index, int count = 1)
    {
        if (index < 0 || index >= GetSize() || count <= 0)
            return;
        const int last = std::min(GetSize(), index + std::min(count, GetSize()));
        items.erase(items.begin() + index, items.begin() + last);
    }

    void RemoveAll() { items.clear(); }

    // Replaces the content with a copy of `other` (element by element).
    void Copy(const CArray& other)
    {
        if (this != &other)
            items = other.items;
    }

    // Appends a copy of `other`; returns the index of its first element here.
    int Append(const CArray& other)
    {
        int first = GetSize();
        std::vector<TYPE> tail = other.items;
        items.insert(items.end(), tail.begin(), tail.end());
        return first;
    }

    // Range-for support: `for (HWND h : hideWindowSet)`.
    auto begin() { return items.begin(); }
    auto end() { return items.end(); }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }

protected:
    size_t Checked(int index) const
    {
        if (index < 0 || index >= GetSize())
            throw CInvalidArgException();
        return static_cast<size_t>(index);
    }

    std::vector<TYPE> items;
};
