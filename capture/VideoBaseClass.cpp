#include "capture/VideoBaseClass.h"

int CVideoBaseClass::EnumDevices(HWND) { return 0; }
void CVideoBaseClass::ShowStreamConfigPages(HWND) {}
void CVideoBaseClass::ShowFilterPages(HWND) {}
HRESULT CVideoBaseClass::SetVideoProcAmp(long, long*) { return E_FAIL; }
HRESULT CVideoBaseClass::GetVideoProcAmp(long, long*, long*) { return E_FAIL; }
HRESULT CVideoBaseClass::GetVideoProcAmpRange(long, long*, long*, long*, long*, long*) { return E_FAIL; }
HRESULT CVideoBaseClass::SetCameraControl(long, long) { return E_FAIL; }
HRESULT CVideoBaseClass::GetCameraControl(long, long*, long*) { return E_FAIL; }
HRESULT CVideoBaseClass::GetCameraControlRange(long, long*, long*, long*, long*, long*) { return E_FAIL; }
HRESULT CVideoBaseClass::Open(const wchar_t*, const wchar_t*, const wchar_t*, HWND, bool, int) { return E_FAIL; }
void CVideoBaseClass::SetNotifyWindow(HWND, UINT) {}
IGrabData* CVideoBaseClass::GetGrabData() { return nullptr; }
bool CVideoBaseClass::Run() { return false; }
bool CVideoBaseClass::Stop() { return false; }
int CVideoBaseClass::GetFormatCount() { return 0; }
int CVideoBaseClass::GetDeviceFormatCount(const wchar_t*, const wchar_t*, int) { return 0; }
bool CVideoBaseClass::GetSubtypes(std::vector<int>&) { return false; }
bool CVideoBaseClass::GetDeviceSubtypes(const wchar_t*, const wchar_t*, int, std::vector<int>&) { return false; }
int CVideoBaseClass::GetFormatSize(int, int*, int*) { return -1; }
int CVideoBaseClass::GetDeviceFormatSize(const wchar_t*, const wchar_t*, int, int, int*, int*) { return -1; }
int CVideoBaseClass::CountDevicesById(const wchar_t*, const wchar_t*, const wchar_t*) { return 0; }
int CVideoBaseClass::CountDevices(const wchar_t*, const wchar_t*) { return 0; }
int CVideoBaseClass::CountDevicesByName(const wchar_t*) { return 0; }
CString CVideoBaseClass::GetDeviceName(const wchar_t*, const wchar_t*, int) { return CString(); }
cv::Mat CVideoBaseClass::TriggerStill() { return cv::Mat(); }
HRESULT CVideoBaseClass::SetResolution(int, int) { return E_FAIL; }
void CVideoBaseClass::GetResolution(int* width, int* height) {
  if (width) *width = 0;
  if (height) *height = 0;
}
HRESULT CVideoBaseClass::SetFormatIndex(int) { return E_FAIL; }
void CVideoBaseClass::SetDeviceParam(int) {}
bool CVideoBaseClass::PollEvent(int*, long*) { return false; }
void CVideoBaseClass::SetSubtype(int) {}
int CVideoBaseClass::GetState() { return 0; }
