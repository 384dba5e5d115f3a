def pytest_configure(config):
    config.addinivalue_line("markers", "wheel: installs the wheel of `make wheel` into a fresh virtual "
                                       "environment (make test-wheel)")
