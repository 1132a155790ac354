# The per-photo analysis record. The photo tests need tests/vision/fetch-test-photos.sh.
mendral_test(analyzer_test
  analysis/analyzer_fake.cpp
  analysis/analyzer_parts_test.cpp
  analysis/analyzer_record_test.cpp)
mendral_test(analyzer_photos_test analysis/analyzer_photos_test.cpp)
