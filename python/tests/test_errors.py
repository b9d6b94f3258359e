"""Driver errors reach Python as zentrava.Error subclasses with the status and the driver's text."""

import pytest

import zentrava


@pytest.mark.parametrize("resource, options, error, text", [
    ("TCPIP0::127.0.0.1::1::SOCKET", "", zentrava.Error,
     "Zentrava: Unknown resource. Connection refused by 127.0.0.1:1."),
    ("NOT A RESOURCE", "", zentrava.Error,
     'Zentrava: Unknown resource. Invalid resource name "NOT A RESOURCE": unknown interface type.'),
    ("", "Simulate=maybe", zentrava.Error, "Zentrava: The maybe value in the option string is unknown."),
])
def test_a_session_that_cannot_open_says_why(resource, options, error, text):
    with pytest.raises(error) as raised:
        zentrava.Driver(resource, options=options)
    assert raised.value.text == text
    assert str(raised.value) == "cannot open %r with options %r: %s" % (resource, options, text)
    assert raised.value.status < 0


def test_a_closed_session_refuses_calls():
    driver = zentrava.Driver(simulate=True)
    driver.close()
    driver.close()  # closing again does nothing
    for call in (lambda: driver.attenuation, lambda: driver.reset(),
                 lambda: driver.application.phase_noise.measurements[1].get_x_data()):
        with pytest.raises(zentrava.Error) as raised:
            call()
        assert raised.value.status & 0xFFFFFFFF == 0xBFFF000E
        assert raised.value.text == "Invalid session: it was closed or never opened."


def test_wrong_selectors_and_values(simulated):
    pn = simulated.application.phase_noise
    with pytest.raises(KeyError):
        pn.measurements["Measurement2"]  # phase noise has one measurement
    with pytest.raises(zentrava.SelectorError) as raised:
        simulated.get_attribute(zentrava.ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_DATA_HOLD, "Measurement2")
    assert raised.value.text == ('Zentrava: Unknown physical repeated capability selector. "Measurement2" is not '
                                 "one of: Measurement1.")
    assert isinstance(raised.value, LookupError)
    with pytest.raises(zentrava.InvalidValueError) as raised:
        simulated.status.set_register(0, zentrava.StatusSubRegister.EVENT, 1)
    assert raised.value.text == ("Zentrava: Invalid value (ZentravaStatusSubRegisterEvent) for method put_Register, "
                                 "parameter SubRegister.")
    assert isinstance(raised.value, ValueError)
    with pytest.raises(TypeError):
        simulated.system.wait_for_operation_complete()  # missing argument


def test_model_not_supported():
    with zentrava.Driver(simulate=True, options="DriverSetup=Model=Q7310A") as q7310a:
        with pytest.raises(zentrava.ModelNotSupportedError) as raised:
            q7310a.system.get_state()
        assert raised.value.status & 0xFFFFFFFF == 0xBFFA4216
        assert raised.value.text.startswith("Zentrava: Instrument model does not support this feature: ")


@pytest.mark.parametrize("status, kind", [
    (0xBFFF0015, zentrava.TimeoutError),  # VI_ERROR_TMO
    (0x80040015, zentrava.TimeoutError),  # the same as an HRESULT
    (0xBFFA4215, zentrava.TimeoutError),
    (0xBFFA4217, zentrava.TimeoutError),
    (0xBFFA4216, zentrava.ModelNotSupportedError),
    (0xBFFA0063, zentrava.SelectorError),
    (0x80000000, zentrava.Error),
])
def test_errors_are_classified_by_their_status(status, kind):
    signed = status - (1 << 32)
    error = zentrava._errors.error_for(zentrava._errors.VI_NULL, signed)
    assert type(error) is kind and error.status == signed
