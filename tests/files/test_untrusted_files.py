"""Files from anyone: a data file never chooses where a task is solved nor
carries an access token; declared counts and compressed data cost memory
only for what the file really holds."""
import gzip
import os
import struct
import subprocess
import sys
import textwrap
import zlib

import pytest

import velto
from taskdata import name, ok, random_task
from test_json import minimal

Err = velto.ResponseCode
IP, DP, SP = velto.IParam, velto.DParam, velto.SParam
HOST = "http://evil-token@127.0.0.9:99"           # as long as DECOY's value below
DECOY = "VLT_SPAR_SENSITIVITY_FILE_NAME"          # as long as the host parameter's name
HOST_NAME = "VLT_SPAR_REMOTE_OPTSERVER_HOST"
FORMATS = ["task", "jtask", "ptf", "opf"]


def remote_settings(t):
    return (name(t.getstrparam_iO_2, SP.REMOTE_OPTSERVER_HOST), name(t.getstrparam_iO_2, SP.REMOTE_TLS_CERT_PATH),
            ok(t.getintparam_i_2(IP.REMOTE_USE_COMPRESSION)), ok(t.getdouparam_i_2(DP.REMOTE_TIMEOUT)))


def with_parameters(t):
    for p in (IP.PTF_WRITE_PARAMETERS, IP.OPF_WRITE_PARAMETERS):
        ok(t.putintparam_ii_3(p, velto.OnOff.ON))
    return t


def fix_section_crcs(data):
    """The binary task file with every section's CRC-32 recomputed (layout in
    optimizer/io/task_binary.hpp)."""
    data, pos = bytearray(data), 16
    while pos < len(data):
        tag, flags, size = data[pos:pos + 4], data[pos + 4:pos + 8], data[pos + 8:pos + 16]
        payload = data[pos + 24:pos + 24 + struct.unpack("<Q", size)[0]]
        data[pos + 16:pos + 20] = struct.pack("<I", zlib.crc32(tag + flags + size + payload))
        pos += 24 + len(payload)
    return bytes(data)


@pytest.mark.parametrize("ext", FORMATS)
def test_files_neither_carry_nor_apply_remote_settings(tmp_path, ext):
    t = with_parameters(random_task(1, m=3, n=7, conic=False))
    ok(t.putstrparam_is_3(SP.REMOTE_OPTSERVER_HOST, "http://secret-token@10.1.2.3:8080"))
    ok(t.putstrparam_is_3(SP.REMOTE_TLS_CERT_PATH, "/secret/certs"))
    ok(t.putdouparam_id_3(DP.REMOTE_TIMEOUT, 7.25))
    ok(t.putstrparam_is_3(SP.SENSITIVITY_FILE_NAME, HOST))
    ok(t.putintparam_ii_3(IP.LOG, 2))
    path = tmp_path / ("t." + ext)
    ok(t.writedata_s_2(str(path)))
    data = path.read_bytes()
    assert b"VLT_SPAR_STAT_NAME" in data        # the parameters are there, changed ones at least
    for secret in (b"secret-token", b"10.1.2.3", b"/secret/certs", b"REMOTE_"):
        assert secret not in data
    assert data.count(DECOY.encode()) == 1
    data = data.replace(DECOY.encode(), HOST_NAME.encode())      # a file that asks for a server
    path.write_bytes(fix_section_crcs(data) if ext == "task" else data)

    u = velto.Task(None)
    ok(u.putdouparam_id_3(DP.REMOTE_TIMEOUT, 3.5))
    before = remote_settings(u)
    warnings = []
    u.set_Stream(velto.StreamType.WRN, warnings.append)
    ok(u.readdataautoformat_s_2(str(path)))
    assert ok(u.getintparam_i_2(IP.LOG)) == 2                   # the file's other parameters apply
    assert remote_settings(u) == before == (b"\0", b"\0", velto.CompressionType.ZSTD, 3.5)
    assert any(HOST_NAME in w and "ignored" in w for w in warnings), warnings


def test_a_parameter_file_sets_the_host_but_is_written_without_the_token(tmp_path):
    t = velto.Task(None)
    ok(t.putstrparam_is_3(SP.REMOTE_OPTSERVER_HOST, "https://tok3n@example.org:443/solve"))
    path = tmp_path / "p.par"
    ok(t.writeparamfile_s_2(str(path)))
    text = path.read_text()
    assert "tok3n" not in text and '"https://example.org:443/solve"' in text
    u = velto.Task(None)
    ok(u.readparamfile_s_2(str(path)))                          # the caller's explicit request
    assert name(u.getstrparam_iO_2, SP.REMOTE_OPTSERVER_HOST) == b"https://example.org:443/solve\0"
    path.write_text(text.replace("https://example.org", "http://mine@example.org"))
    ok(u.readparamfile_s_2(str(path)))
    assert name(u.getstrparam_iO_2, SP.REMOTE_OPTSERVER_HOST) == b"http://mine@example.org:443/solve\0"


# A child reads the file with its address space limited: an allocation for a
# declared count fails there (ERR_SPACE) where the old readers tried it.
CHILD = textwrap.dedent("""
    import resource, sys
    import velto
    t = velto.Task(None)
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    limit = {limit}
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    res = t.readdataformat_sii_4(sys.argv[1], int(sys.argv[2]), velto.CompressionType.FREE)[0]
    grown = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
    print(int(res), grown)
""")


def read_in_child(path, fmt):
    """(response code, KiB the reading process grew by), read under an
    address-space limit of the child's own size plus 1 GiB."""
    with open("/proc/self/status") as f:   # a size of this interpreter with the module: a fair base
        vm = next(int(line.split()[1]) for line in f if line.startswith("VmSize")) * 1024
    script = CHILD.format(limit=vm + (1 << 30))
    out = subprocess.run([sys.executable, "-c", script, str(path), str(int(fmt))], capture_output=True, text=True,
                         timeout=120, env=dict(os.environ))
    assert out.returncode == 0, out.stderr
    res, grown = map(int, out.stdout.split())
    return res, grown


DF = velto.DataFormat
HUGE_COUNTS = [
    ("ptf", DF.PTF, "PTF 1\nVARIABLES 300000000\nx FR 0 0\n", Err.ERR_PTF_FORMAT),
    ("ptf", DF.PTF, "PTF 1\nCONSTRAINTS 2000000000\nc FR 0 0\n", Err.ERR_PTF_FORMAT),
    ("ptf", DF.PTF, "PTF 1\nVARIABLES 0\nAFES 2000000000\n0 1\n", Err.ERR_PTF_FORMAT),
    ("opf", DF.OPF, "minimize\n x\nsubject to\nend\nAFES 2000000000\n0 1\n", Err.ERR_OPF_FORMAT),
    ("cbf", DF.CBF, "VER\n3\nVAR\n300000000 1\nF 1\n", Err.ERR_CBF_FORMAT),
    ("cbf", DF.CBF, "VER\n3\nVAR\n1 1\nF 1\nOBJACOORD\n300000000\n0 1.0\n", Err.ERR_CBF_FORMAT),
    ("cbf", DF.CBF, "VER\n3\nVAR\n1 1\nF 1\nCON\n2000000000 1\nL+ 2000000000\n", Err.ERR_CBF_FORMAT),
    ("cbf", DF.CBF, "VER\n3\nPSDCON\n1\n2000000\n", Err.ERR_CBF_FORMAT),
    ("mps", DF.MPS, "NAME\nROWS\n N obj\nCOLUMNS\nRHS\nBOUNDS\nAFES 2000000000\n    0  1\nENDATA\n", Err.ERR_MPS_FORMAT),
    ("jtask", DF.JSON_TASK, minimal(**{"variables/count": 300000000}), Err.ERR_JSON_FORMAT),
    ("jtask", DF.JSON_TASK, minimal(**{"constraints/count": 2000000000}), Err.ERR_JSON_FORMAT),
]


@pytest.mark.parametrize("ext, fmt, text, code", HUGE_COUNTS, ids=[f"{c[0]}-{k}" for k, c in enumerate(HUGE_COUNTS)])
def test_a_tiny_file_declaring_huge_counts_is_refused_without_allocating(tmp_path, ext, fmt, text, code):
    path = tmp_path / ("f." + ext)
    path.write_text(text)
    res, grown = read_in_child(path, fmt)
    assert res == code
    assert grown < 64 << 10          # KiB


def gzip_of_zeros(path, gib=1, byte=b"\0"):
    """A gzip file inflating to gib GiB of one byte, about 1 MB: members of
    16 MiB each, repeated (members in a row read as one stream)."""
    member = gzip.compress(byte * (16 << 20), compresslevel=9)
    with open(path, "wb") as f:
        for _ in range(gib * 64):
            f.write(member)
    return path


@pytest.mark.parametrize("byte, why", [(b"\0", "NUL byte"), (b" ", "times its compressed size")])
@pytest.mark.parametrize("ext, fmt", [("mps", DF.MPS), ("ptf", DF.PTF), ("lp", DF.LP)])
def test_a_gzip_bomb_is_refused_in_bounded_memory(tmp_path, ext, fmt, byte, why):
    path = gzip_of_zeros(tmp_path / f"bomb.{ext}.gz", byte=byte)
    assert path.stat().st_size < 4 << 20
    res, grown = read_in_child(path, fmt)
    assert res == Err.ERR_COMPRESSION
    # zeros are refused at the first chunk; blanks once past 250 times the file's size
    assert grown < (8 << 10 if byte == b"\0" else 512 << 10)
    t = velto.Task(None)
    assert t.readdataformat_sii_4(str(path), fmt, velto.CompressionType.FREE)[0] == Err.ERR_COMPRESSION
    assert why in t.getlasterror()[1]
