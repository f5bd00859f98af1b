#pragma once
// The layer's process-wide objects and worker threads. Tables are made on
// first use and kept: in a program they live until the process ends
// (threads may outlive main); a library that carries the layer frees them
// all with ReleaseSingletons, newest first, once nothing of it runs any
// more, so a host that loads and unloads the library again and again keeps
// no memory of it. Nothing of the layer is a function-local static with a
// destructor: such an object goes at exit in whatever order it was made,
// under threads that still use it.
#include <utility>

namespace vqplatform {

void* KeepSingleton(void* object, void (*destroy)(void*));

template <class T, class... Args>
T* MakeSingleton(Args&&... args) {
  T* object;
  if constexpr (sizeof...(Args) == 0)
    object = new T;
  else
    object = new T(std::forward<Args>(args)...);
  return static_cast<T*>(KeepSingleton(object, [](void* kept) { delete static_cast<T*>(kept); }));
}

// Only from the library's last destructor: the tables' pointers are not
// made again afterwards.
void ReleaseSingletons();

// A worker thread that runs for the whole process (the presenter's display
// thread, the camera monitor) registers how it stops when it starts. Workers
// start again on their next use.
void KeepWorker(void (*stop)());
// Stops every registered worker, newest first. A library that carries the
// layer calls it at its end, before its code can go.
void StopProcessWorkers();
// Has StopProcessWorkers run at exit (once; the first worker asks for it),
// before the system libraries the workers use end. A library whose end
// stops them asks first, so that its end runs before.
void StopWorkersAtExit();

}  // namespace vqplatform
