# Faces, landmarks, eyes and capture quality. The photo tests need tests/vision/fetch-test-photos.sh.
mendral_test(vision_faces_test
  vision/faces_geometry_test.cpp
  vision/faces_quality_test.cpp
  vision/faces_photos_test.cpp
  vision/faces_vision_test.cpp)
