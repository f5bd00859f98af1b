#pragma once
// The V4L2 cameras of the device enumeration: capture nodes under the device
// folder, each known by its USB identity from sysfs, kept as one camera
// object across unplugging and replugging, and watched for arrival and
// removal while the enumeration is in use.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/V4l2Camera.h"

namespace vq::dshow {

class HotplugMonitor;

// Reads who a node ("video0") is; false for nodes that are no USB camera's
// capture node (metadata nodes, output devices, other buses).
bool ReadV4l2Identity(const V4l2Environment& env, const std::string& nodeName, V4l2Identity* out);

class V4l2CameraRegistry {
 public:
  V4l2CameraRegistry();
  ~V4l2CameraRegistry();

  // Replaces where cameras are looked for; the cameras known so far are dropped.
  void SetEnvironment(V4l2Environment env);
  // Looks at the nodes again: new cameras are added, returned ones attached,
  // vanished ones detached, and each change is broadcast as WM_DEVICECHANGE.
  // Returns the cameras present.
  std::vector<std::shared_ptr<V4l2Camera>> Rescan();
  // Starts watching the device folder (once); changes lead to a rescan.
  void StartMonitor();
  // Stops watching and joins the watcher; StartMonitor starts again.
  void StopMonitor();

 private:
  std::mutex lock_;
  std::mutex scanLock_;
  V4l2Environment env_;
  std::vector<std::shared_ptr<V4l2Camera>> cameras_;
  std::vector<std::shared_ptr<V4l2Camera>> seen_;  // present at the last scan
  std::unique_ptr<HotplugMonitor> monitor_;
};

V4l2CameraRegistry& TheV4l2Cameras();
// Adds the V4L2 cameras to the device enumeration.
void RegisterV4l2CameraProvider();

}  // namespace vq::dshow
