// The shared channel rules: the alarm of a channel, and what a channel file may say.
#include "channel_alarms.h"
#include "channel_file.h"
#include "sensor_catalogue.h"

#include <QTest>

class TestChannelRules : public QObject
{
    Q_OBJECT

private slots:
    void alarmFollowsReadings_data();
    void alarmFollowsReadings();
    void channelFileRefusesWhatCannotBeRight_data();
    void channelFileRefusesWhatCannotBeRight();
    void channelFileRoundTrips();
};

void TestChannelRules::alarmFollowsReadings_data()
{
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QVector<double>>("readings"); // NaN: the module sent NaN; -999: no temperature
    QTest::addColumn<QVector<int>>("states");
    using V = QVector<double>;
    using S = QVector<int>;
    using A = ChannelAlarm;
    // Limits 0..100 degC, hysteresis 1 degC.
    QTest::newRow("high, held inside the band, cleared below") << int(TC_K) << V{50, 101, 99.5, 98.9}
                                                                << S{A::None, A::High, A::High, A::None};
    QTest::newRow("low, cleared above the band") << int(TR_100Pt) << V{-1, 0.5, 1.5} << S{A::Low, A::Low, A::None};
    QTest::newRow("NaN from the module is a break") << int(TC_J) << V{20, NAN, 20} << S{A::None, A::SensorBreak, A::None};
    QTest::newRow("no temperature keeps what stands") << int(TC_J) << V{101, -999, 50} << S{A::High, A::High, A::None};
    QTest::newRow("a Pt100 at 900 is over range, not a break") << int(TR_100Pt) << V{900, 50}
                                                               << S{A::OverRange, A::None};
    QTest::newRow("under range") << int(TR_100Pt) << V{-250, 101} << S{A::UnderRange, A::High};
    QTest::newRow("K is defined up to 1372") << int(TC_K) << V{1350, 1373, 1371} << S{A::High, A::OverRange, A::High};
    QTest::newRow("no sensor, no alarm") << int(NO_SENSOR) << V{NAN, 500} << S{A::None, A::None};
}

void TestChannelRules::alarmFollowsReadings()
{
    QFETCH(int, sensor);
    QFETCH(QVector<double>, readings);
    QFETCH(QVector<int>, states);
    ChannelAlarm alarm;
    alarm.low = 0;
    alarm.high = 100;
    for (int i = 0; i < readings.size(); ++i) {
        const bool sentNaN = std::isnan(readings[i]);
        const std::optional<float> t = sentNaN || readings[i] == -999 ? std::nullopt : std::optional<float>(readings[i]);
        alarm.update(unsigned(sensor), t, sentNaN);
        QVERIFY2(alarm.kind() == states[i], qPrintable(QString("reading %1: %2").arg(i).arg(alarmText(alarm.kind()))));
    }
}

void TestChannelRules::channelFileRefusesWhatCannotBeRight_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("error");
    const QByteArray head = R"({"format": "korun-channels/1", "channels": [{"module": "A", "channel": 1}, )";
    QTest::newRow("low >= high") << head + R"({"module": "3", "channel": 2, "low_C": 40, "high_C": 40}]})"
                                 << "entry 2 (module 3, channel 2): the low limit 40 must be below the high limit 40";
    QTest::newRow("module not a digit") << head + R"({"module": "G", "channel": 1}]})"
                                        << "entry 2 (module G, channel 1): \"module\" must be the address-switch digit 0..F";
    QTest::newRow("channel 5") << head + R"({"module": "3", "channel": 5}]})"
                               << "entry 2 (module 3, channel 5): \"channel\" must be 1, 2, 3 or 4";
    QTest::newRow("twice") << head + R"({"module": "a", "channel": 1}]})"
                           << "entry 2 (module a, channel 1): the channel is named twice";
    QTest::newRow("limit as text") << head + R"({"module": "1", "channel": 1, "high_C": "40"}]})"
                                   << "entry 2 (module 1, channel 1): \"low_C\" and \"high_C\" must be numbers of degC";
    QTest::newRow("format") << QByteArray(R"({"format": "korun-channels/2", "channels": []})")
                            << "\"format\" must be \"korun-channels/1\"";
}

void TestChannelRules::channelFileRefusesWhatCannotBeRight()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, error);
    ChannelFile file;
    QString why;
    QVERIFY(!file.parse(json, why));
    QCOMPARE(why, error);
}

void TestChannelRules::channelFileRoundTrips()
{
    ChannelFile file, back;
    QString error;
    QVERIFY(file.parse(R"({"format": "korun-channels/1", "channels": [{"module": "A", "channel": 1,
        "tag": "Furnace zone 1", "low_C": 20.0, "high_C": 40.5, "hidden": false}, {"module": "3", "channel": 4,
        "hidden": true}]})", error));
    QCOMPARE(file.value(10, 0).tag, QString("Furnace zone 1"));
    QCOMPARE(file.value(10, 0).high, 40.5);
    QVERIFY(std::isnan(file.value(3, 3).low) && file.value(3, 3).hidden);
    QVERIFY2(back.parse(file.toJson(), error), qPrintable(error));
    QVERIFY(back.channels == file.channels);
}

QTEST_GUILESS_MAIN(TestChannelRules)
#include "tst_channel_rules.moc"
