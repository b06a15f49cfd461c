"""The Controller class against tavrix-sim over real UDP."""
import os

import pytest

import tavrix


def test_open_queries_and_close(sim_address):
    with tavrix.Controller.open(sim_address, timeout_ms=2000) as ctl:
        assert ctl.address == sim_address
        assert ctl.link_kind == tavrix.LINK_ETHERNET
        assert ctl.timeout_ms == 2000
        assert ctl.axes == 8
        assert ctl.sys_specification.axisCount == 8
        assert ctl.soft_version.text == "PY 1.2.3"
        assert ctl.state == 0
        assert len(ctl.axis_states(0)) == 17
    # Leaving the block closed the link: the handle is refused from now on.
    with pytest.raises(tavrix.TavrixError) as e:
        ctl.state
    assert e.value.code == tavrix.ERR_INVALID_HANDLE
    ctl.close()  # a second close does nothing


def test_open_failure_raises_with_code_and_description(sim_address):
    with pytest.raises(tavrix.TavrixError) as e:
        tavrix.Controller.open("127.0.0.29", fast=True, timeout_ms=300)
    assert e.value.code != 0
    assert e.value.description == tavrix.describe(e.value.code)
    with pytest.raises(ValueError):
        tavrix.Controller.open(sim_address, kind=99)


def test_resend_policy_and_estimate(ctl):
    assert ctl.resend_estimate.first_wait_ms == 30  # the fixed policy's base wait
    ctl.set_resend_policy(tavrix.RESEND_ADAPTIVE, floor_ms=3, cap_ms=5)
    for _ in range(20):
        ctl.state
    estimate = ctl.resend_estimate
    assert 3 <= estimate.first_wait_ms <= 5
    assert estimate.smoothed_us > 0
    ctl.set_resend_policy(tavrix.RESEND_FIXED)
    assert ctl.resend_estimate.first_wait_ms == 30


def test_digital_and_analog_io(ctl):
    assert ctl.inputs(0, 7) == 0b100101
    assert ctl.input(2) and not ctl.input(3)
    ctl.set_output(3, True)
    assert ctl.output(3)
    ctl.set_outputs(8, 15, 0xA5)
    assert ctl.outputs(8, 15) == 0xA5
    assert ctl.outputs(0, 31) == (0xA5 << 8) | (1 << 3)
    ctl.set_output(3, False)
    assert not ctl.output(3)
    ctl.set_analog_out(1, 1234)
    assert ctl.analog_out(1) == pytest.approx(1234)
    assert isinstance(ctl.analog_in(0), float)


def test_text_commands(ctl):
    ctl.execute("VR(10)=6*7")
    assert ctl.execute("?VR(10)").strip() == "42"
    assert ctl.direct_command("?VR(10)+1").strip() == "43"
    with pytest.raises(tavrix.TavrixError) as e:
        ctl.execute("?1234567890", capacity=4)
    assert e.value.code == tavrix.ERR_BUFFER_TOO_SMALL
    ctl.execute_no_ack("?VR(10)*2")
    text, done = "", False
    for _ in range(100):
        piece, done = ctl.receive()
        text += piece
        if done:
            break
    assert done and text.strip() == "84"


def test_files_round_trip_with_progress(ctl, tmp_path):
    data = os.urandom(20000)
    local = tmp_path / "DATA.BIN"
    local.write_bytes(data)
    seen = []
    ctl.put(local, progress=seen.append)
    assert seen[-1] == 1.0 and all(0.0 <= p <= 1.0 for p in seen)
    assert tavrix.FileEntry("DATA.BIN", len(data)) in ctl.files()
    assert ctl.get_bytes("DATA.BIN") == data
    back = tmp_path / "back.bin"
    ctl.get("DATA.BIN", back, progress=lambda p: None)
    assert back.read_bytes() == data
    with pytest.raises(tavrix.TavrixError) as e:
        ctl.get_bytes("DATA.BIN", capacity=100)
    assert e.value.code == tavrix.ERR_BUFFER_TOO_SMALL
    ctl.put_bytes(b"PRINT 1\n", "SMALL.BAS")
    assert ctl.get_bytes("SMALL.BAS") == b"PRINT 1\n"
    ctl.delete("DATA.BIN")
    ctl.delete("SMALL.BAS")
    assert all(entry.name not in ("DATA.BIN", "SMALL.BAS") for entry in ctl.files())
    with pytest.raises(tavrix.TavrixError):
        ctl.get_bytes("DATA.BIN")


def test_a_failing_progress_callback_leaves_the_transfer_finished(ctl, tmp_path):
    local = tmp_path / "BIG.BIN"
    local.write_bytes(os.urandom(200000))

    def fail(_progress):
        raise ValueError("stop reporting")

    try:
        ctl.put(local, progress=fail)
    except ValueError:
        pass
    # The transfer ran to its end before the error came back: the link is free.
    assert ctl.progress == 0.0
    assert ctl.execute("?1+1").strip() == "2"


def test_project_runs_from_ram(ctl, tmp_path):
    (tmp_path / "main.bas").write_text("PRINT 1\r\n")
    project = tmp_path / "demo.npj"
    project.write_text("[Controller]\nFiles=1\n[FileList]\nFile1=main.bas\nAutoRun1=0\n")
    ctl.run_project(project)
    assert ctl.state == 1
    assert ctl.task_state(0).text == "main.bas"
    ctl.pause()
    assert ctl.state == 2
    ctl.resume()
    ctl.stop()
    assert ctl.state == 0
    tavrix.make_nar(project, tmp_path / "demo.nar")
    ctl.run_nar(tmp_path / "demo.nar")
    assert ctl.task_state(0).state == 1
    ctl.stop()
    ctl.store_project(project)
    assert ctl.state == 0 and len(ctl.current_project()) == 64 + 36
    # A member file that is not there: nothing is sent.
    broken = tmp_path / "broken.npj"
    broken.write_text("[Controller]\nFiles=1\n[FileList]\nFile1=absent.bas\n")
    with pytest.raises(tavrix.TavrixError) as e:
        ctl.run_project(broken)
    assert e.value.code == tavrix.ERR_FILE_NOT_FOUND


def test_lcd_screen_and_camera_image(ctl):
    screen = ctl.lcd_screen()
    assert screen.width > 0 and screen.height > 0
    assert len(screen.pixels) == screen.width * screen.height
    image = ctl.camera_image(0)
    assert len(image.pixels) == image.width * image.height > 0
    assert len(set(image.pixels)) > 1, "the test picture has more than one colour"
    with pytest.raises(tavrix.TavrixError):
        ctl.camera_image(999)


def test_trace_sees_the_frames(ctl):
    events = []
    tavrix.set_trace(events.append)
    try:
        ctl.state
    finally:
        tavrix.set_trace(None)
    kinds = [e.kind for e in events if e.port == ctl.address]
    assert tavrix.TRACE_SENT in kinds and tavrix.TRACE_RECEIVED in kinds
    assert all(len(e.data) > 0 for e in events)
    count = len(events)
    ctl.state
    assert len(events) == count


@pytest.mark.skipif(not os.environ.get("TVX_NET_ISOLATED"), reason="broadcasts only inside a private namespace")
def test_search_finds_the_simulator(sim_address):
    assert sim_address in tavrix.search(300)


def test_a_script_that_leaves_its_controller_open_with_callbacks_ends(sim_address):
    # With the trace callback set, the library's threads called into the
    # finalizing interpreter and the process never ended.
    import subprocess
    import sys
    script = (
        "import time, tavrix\n"
        "frames, texts = [], []\n"
        "tavrix.set_trace(frames.append)\n"
        f"ctl = tavrix.Controller.open({sim_address!r})\n"
        "ctl.set_print_callback(texts.append)\n"
        "up = ctl.cycle_upload('VR(0)', 10)\n"
        "time.sleep(0.2)\n"
        "print(len(frames) > 0)\n")
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=30)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "True"
