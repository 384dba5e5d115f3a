"""The module's remote methods hand their texts, the token bytearray and the
library's three codes through unchanged (checked in the API call log)."""
import re

import pytest

from velto import ResponseCode

from remote_helpers import start_job

UNKNOWN = "0" * 64


@pytest.mark.parametrize("size", [0, 65, 1000])
@pytest.mark.parametrize("reachable", [True, False])
def test_token_bytearray_is_65_bytes_after_the_call(task, server, size, reachable):
    buf = bytearray(b"x" * size)
    address = server.address if reachable else "127.0.0.1:1"
    res, value = task.asyncoptimize_ssO_3(address, "", buf)
    assert (res, value) == ((0, None) if reachable else (ResponseCode.ERR_SERVER_CONNECT, None))
    assert len(buf) == 65
    if reachable:
        assert len(buf.split(b"\0")[0]) == 64


@pytest.mark.parametrize("token", [b"0" * 65, [0] * 65, None])
def test_token_must_be_a_bytearray(task, token):
    with pytest.raises(TypeError, match="Bytearray object for argument token"):
        task.asyncoptimize_ssO_3("127.0.0.1:1", "", token)


def test_texts_and_codes_pass_through(task, server, env_log_path, calls):
    token = start_job(task, server.address, "key")
    assert task.asyncpoll_sss_4(server.address, "key", UNKNOWN) == (ResponseCode.ERR_SERVER_TOKEN, None)
    while task.asyncpoll_sss_4(server.address, "key", token)[1][0] == 0:
        pass
    assert task.asyncgetresult_sss_4(server.address, "key", token) == (0, (1, 0, 0))
    assert task.asyncstop_sss_4(server.address, "key", token) == (0, None)
    assert task.putoptserverhost_s_2("h:1") == (0, None)
    lines = [re.sub(r"task=#\d+", "task=#N", line) for line in calls(env_log_path)]
    quoted = f'address="{server.address}" accesstoken="key"'
    assert f'VLT_asyncoptimize task=#N {quoted} token=ptr -> 0' in lines
    assert f'VLT_asyncpoll task=#N {quoted} token="{UNKNOWN}" respavailable=ptr resp=ptr trm=ptr -> 1803' in lines
    assert f'VLT_asyncgetresult task=#N {quoted} token="{token}" respavailable=ptr resp=ptr trm=ptr -> 0' in lines
    assert f'VLT_asyncstop task=#N {quoted} token="{token}" -> 0' in lines
    assert 'VLT_putoptserverhost task=#N host="h:1" -> 0' in lines
