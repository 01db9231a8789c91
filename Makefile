# The commands of the README. All of them install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
# The tests of the parts with threads: the frame grabber's ring, the
# encoder's workers, the process runner and the host starter, the message
# loop, a job stopped from another thread while its grabber runs, and the
# sound coded on its own thread while the pictures are.
TSAN_TESTS ?= FrameRing|ThreadCount|ChildProcess|ToolRunner|HostProcess|MessageLoop|JobDriverTest.TheStopRequest|SoundCodedAlongside|AWindowsSound|EncodeDriverTest.(ACancelInStepOne|SourcesThatFail|ADurationLimitMay)
# The test programs that hold them (with what they start): the ThreadSanitizer
# build makes only these.
TSAN_PROGRAMS ?= platform_process_tests platform_message_loop_tests app_tool_runner_tests \
  app_shell_tool_tests korvan_media_tests korvan_video_tests korvan_cli_tests \
  korvan_job_driver_tests korvan_encode_driver_tests korvan_encode_driver_input_tests \
  korvan_cli_input_tests
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
# Leave empty for every target, or name some: make fuzz FUZZ_TARGETS="ini_text wav_reader"
FUZZ_TARGETS ?=

.PHONY: run test build deps test-sanitize test-tsan fuzz

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/write-first-settings $(BUILD)/bin
	$(BUILD)/bin/ZarvoVideoConverter

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# A .deb built the way a distribution builds: Release with Debian's hardening
# flags, in a folder of its own, without tests and benchmarks.
PACKAGE_BUILD ?= build-package
.PHONY: package
package: deps
	CFLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
	      -DZARVO_BENCHMARKS=OFF -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack
	@ls $(PACKAGE_BUILD)/*.deb

# Every test again on a build with AddressSanitizer and UBSan.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVO_SANITIZE=address,undefined
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

# The tests of the threaded parts on a build with ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVO_SANITIZE=thread
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_PROGRAMS)
	cd $(TSAN_BUILD) && \
	  TSAN_OPTIONS=halt_on_error=1:suppressions=$(CURDIR)/tests/support/tsan_suppressions.txt \
	  ctest --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

# Every fuzz target for FUZZ_SECONDS each, built with clang and libFuzzer.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZARVO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz-targets
	scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)
