# Finds the OpenCV modules the program uses (core, imgproc, imgcodecs) from their own Debian
# -dev packages. OpenCV's CMake package lives in libopencv-dev, which drags in every module
# (VTK, MPI, Java and some 130 packages); the headers and libraries we link need only these.
# Defines the imported targets OpenCV::core, OpenCV::imgproc and OpenCV::imgcodecs.
find_path(OpenCVModules_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
set(_opencv_vars OpenCVModules_INCLUDE_DIR)
foreach(_m core imgproc imgcodecs)
  find_library(OpenCVModules_${_m}_LIBRARY opencv_${_m})
  list(APPEND _opencv_vars OpenCVModules_${_m}_LIBRARY)
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCVModules REQUIRED_VARS ${_opencv_vars}
  REASON_FAILURE_MESSAGE "install libopencv-core-dev, libopencv-imgproc-dev and libopencv-imgcodecs-dev (scripts/install-deps)")

if(OpenCVModules_FOUND)
  foreach(_m core imgproc imgcodecs)
    if(NOT TARGET OpenCV::${_m})
      add_library(OpenCV::${_m} UNKNOWN IMPORTED)
      set_target_properties(OpenCV::${_m} PROPERTIES
        IMPORTED_LOCATION "${OpenCVModules_${_m}_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${OpenCVModules_INCLUDE_DIR}")
    endif()
  endforeach()
  set_property(TARGET OpenCV::imgproc APPEND PROPERTY INTERFACE_LINK_LIBRARIES OpenCV::core)
  set_property(TARGET OpenCV::imgcodecs APPEND PROPERTY INTERFACE_LINK_LIBRARIES OpenCV::imgproc OpenCV::core)
endif()
