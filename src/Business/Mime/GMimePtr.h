// Owning handles for GMime and GLib objects.
#pragma once

#include <gmime/gmime.h>
#include <memory>

struct TGObjectUnref {
    void operator()(gpointer aObject) const
    {
        if (aObject)
            g_object_unref(aObject);
    }
};

// Takes over the reference a GMime constructor returns.
template <class T>
using TGObject = std::unique_ptr<T, TGObjectUnref>;

// Adds a reference to an object borrowed from GMime.
template <class T>
TGObject<T> GRetain(T* aObject)
{
    if (aObject)
        g_object_ref(aObject);
    return TGObject<T>(aObject);
}

struct TGFree {
    void operator()(gpointer aMemory) const { g_free(aMemory); }
};
using TGString = std::unique_ptr<char, TGFree>;
