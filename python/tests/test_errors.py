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
    with pytest.raises(zentrava.SelectorError) as raised:
        pn.measurements["Measurement2"].data_hold  # phase noise has one measurement
    assert raised.value.text == "Zentrava: Unknown physical repeated capability selector."
    assert isinstance(raised.value, LookupError)
    with pytest.raises(zentrava.SelectorError):
        pn.measurements[1].markers["Marker11"].search(zentrava.MarkerSearchType.MAXIMUM)
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
