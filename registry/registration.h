#pragma once

// One static Registration object per registered class: constructing it at load time
// builds the class's type string and stores the class in its factory.

#include <typeinfo>

namespace rigkit {

// The creation without arguments that every class registers: components need their Data.
template <class Base>
Base* createNothing() {
    return nullptr;
}

template <class T, class Factory, Factory& (*accessor)()>
struct Registration {
    Registration() {
        const auto name = T::TypeString();
        Factory& factory = accessor();
        factory.registerClass(typeid(T), name, &createNothing<typename Factory::Product>, &T::createDynamic);
    }
};

}  // namespace rigkit
