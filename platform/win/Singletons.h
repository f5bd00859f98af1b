#pragma once
// The layer's process-wide tables, made on first use. In a program they
// live until the process ends (threads may outlive main). A library that
// carries the layer and is unloaded frees them all with ReleaseSingletons,
// newest first, once nothing of it runs any more: a host that loads and
// unloads the library again and again keeps no memory of it.
namespace vqplatform {

void* KeepSingleton(void* object, void (*destroy)(void*));

template <class T>
T* MakeSingleton() {
  return static_cast<T*>(KeepSingleton(new T, [](void* object) { delete static_cast<T*>(object); }));
}

// Only from the library's last destructor: the tables' pointers are not
// made again afterwards.
void ReleaseSingletons();

}  // namespace vqplatform
