"""The constructor's option forms: Options, the driver's option string, nothing."""

import pytest

import zentrava


def settings(driver):
    op = driver.driver_operation
    return {"simulate": op.simulate, "range_check": op.range_check, "cache": op.cache,
            "query_instr_status": op.query_instrument_status, "record_coercions": op.record_coercions,
            "model": driver.identity.instrument_model}


@pytest.mark.parametrize("options, simulate, expected", [
    ({"simulate": True}, False, {"simulate": True, "range_check": True, "cache": True,
                                 "query_instr_status": False, "record_coercions": False, "model": "Q7310B"}),
    ({"simulate": True, "range_check": False, "cache": False, "query_instr_status": True,
      "record_coercions": True, "driver_setup": "Model=Q7310A"}, False,
     {"simulate": True, "range_check": False, "cache": False, "query_instr_status": True,
      "record_coercions": True, "model": "Q7310A"}),
    ({"driver_setup": "Model=Q7310A", "cache": False}, True,  # DriverSetup goes last, whatever the order
     {"simulate": True, "range_check": True, "cache": False, "query_instr_status": False,
      "record_coercions": False, "model": "Q7310A"}),
    ("Simulate=true, QueryInstrStatus=true", False,
     {"simulate": True, "range_check": True, "cache": True, "query_instr_status": True,
      "record_coercions": False, "model": "Q7310B"}),
    (None, True, {"simulate": True, "range_check": True, "cache": True, "query_instr_status": False,
                  "record_coercions": False, "model": "Q7310B"}),
])
def test_option_forms(options, simulate, expected):
    with zentrava.Zentrava("", options=options, simulate=simulate) as driver:
        assert settings(driver) == expected


@pytest.mark.parametrize("options, error, text", [
    ({"simulation": True}, ValueError, "unknown option simulation; the options are simulate, range_check, cache, "
                                       "query_instr_status, record_coercions, interchange_check, driver_setup"),
    ({"simulate": "yes"}, TypeError, "option simulate takes bool, not str"),
])
def test_wrong_options_are_refused_before_the_session_opens(options, error, text):
    with pytest.raises(error) as raised:
        zentrava.Zentrava("", options=options)
    assert str(raised.value) == text


def test_the_ivi_names_and_the_old_ones_are_one_class():
    assert zentrava.Driver is zentrava.Zentrava
    with zentrava.Driver(simulate=True) as driver:
        assert isinstance(driver, zentrava.ZentravaBase)
        assert driver.ivi_utility.simulation_enabled and driver.ivi_utility.error_query_all() == []
