# The two commands of the README:
#   make run   install what is missing, build both programs, start the English one
#   make test  install what is missing, build, run the whole suite (sanitizers too)
JOBS ?= 2
BUILD := build
SANITIZE := build-sanitize
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test setup build build-sanitize test-plain test-sanitize test-fuzz fuzz bench clean

run: build
	./$(BUILD)/en/serbox

test: test-plain test-sanitize test-fuzz test-windows

setup:
	./scripts/install-deps.sh

build: setup
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

build-sanitize: setup
	cmake -S . -B $(SANITIZE) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DSERBOX_SANITIZE=ON
	cmake --build $(SANITIZE) -j $(JOBS)

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: build-sanitize
	ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

# The receive and transmit machines and the Telnet port control codec under
# libFuzzer (build-fuzz): saved findings and seeds replayed, then a fixed number of
# runs from a fixed seed, so the verdict is the same every time. `make fuzz`
# searches open-ended (FUZZ_SECONDS, default 600; FUZZ_TELNET_SECONDS, 120).
test-fuzz: setup
	JOBS=$(JOBS) ./fuzz/run.sh

fuzz: setup
	JOBS=$(JOBS) ./fuzz/run.sh --open

# The Qt-free parts and serbox-listing.exe cross-built for Windows with MinGW-w64
# (build-windows), their tests under Wine (label windows; cmake/mingw-w64.cmake).
WINDOWS := build-windows
build-windows: setup
	cmake -S . -B $(WINDOWS) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
	cmake --build $(WINDOWS) -j $(JOBS)

test-windows: build-windows
	ctest --test-dir $(WINDOWS) -L windows --output-on-failure -j $(JOBS)
.PHONY: build-windows test-windows

# The whole program for Windows (build-windows-qt, cmake/mingw-w64-qt.cmake) against
# the Qt that scripts/build-qt-windows.sh builds once per machine (about half an hour
# on 2 cores the first time, nothing after). Its tests run under Wine (label
# windows); the serial one has the Linux tree's serbox-device at the other end.
WINDOWS_QT := build-windows-qt
build-windows-qt: setup
	./scripts/build-qt-windows.sh
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target serbox_device -j $(JOBS)
	cmake -S . -B $(WINDOWS_QT) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-qt.cmake -DSERBOX_DEVICE_PROGRAM=$(CURDIR)/$(BUILD)/device/serbox-device
	cmake --build $(WINDOWS_QT) -j $(JOBS)

# serbox-<version>-windows-x64.zip in build-windows-qt: both programs, the listing
# tool, the Qt and MinGW runtime DLLs, stripped.
package-windows: build-windows-qt
	cmake --build $(WINDOWS_QT) --target package_windows
.PHONY: build-windows-qt package-windows

# serbox-<version>-setup.exe in build-windows-qt, from the zip's files, by Debian's
# makensis (packaging/serbox.nsi), and the same files as the next version for the
# test of an update.
installer-windows: build-windows-qt
	cmake --build $(WINDOWS_QT) --target installer_windows installer_windows_next
.PHONY: installer-windows

# Latency, throughput, listing, idle CPU and memory figures, printed (bench/run.sh).
bench: build
	./bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE) build-fuzz build-windows build-windows-qt

# A day of use: SOAK_ROUNDS save-and-load round trips back to back against
# serbox-device, each set checked, memory, descriptors and CPU printed at the start
# and at the end (tests/e2e/SoakTest.cpp; the suite runs 3). A round trip takes
# about 16 s, most of it the paced header: 200 take some 55 minutes. Then
# serbox-cli receives SOAK_ROUNDS sets in one batch (--count), its memory printed
# after the first and before the last (bench/Cli.cpp; a minute or two).
SOAK_ROUNDS ?= 200
soak: build
	SERBOX_SOAK_ROUNDS=$(SOAK_ROUNDS) QT_QPA_PLATFORM=offscreen ./$(BUILD)/tests/e2e/test_e2e --gtest_filter='Soak.*'
	./$(BUILD)/bench/serbox_bench cli-soak ./$(BUILD)/cli/serbox-cli $(SOAK_ROUNDS)
.PHONY: soak

# serbox.exe and serbox-it.exe from the Windows zip under Wine, typed at through an
# X server of their own against serbox-device on COM1 (label windows-gui,
# tests/windows-gui/), the installer installed, updated and removed there, and the rest of that tree's tests under Wine (label windows:
# the Win32 serial port against serbox-device among them). Not part of `make test`:
# the first run builds Qt for Windows.
test-windows-gui: build package-windows installer-windows
	ctest --test-dir build-windows-qt -L windows --output-on-failure -j $(JOBS)
.PHONY: test-windows-gui
