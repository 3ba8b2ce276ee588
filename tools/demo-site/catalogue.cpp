#include "tools/demo-site/catalogue.h"

#include <array>
#include <cstdio>

namespace tarvane::demo {

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

// Whole mebibytes plus an odd tail, so no two files have round sizes.
constexpr std::uint64_t Size(std::uint64_t mebibytes, std::uint64_t tail) {
    return mebibytes * kMiB + tail;
}

constexpr std::array kCategories = {
    Category{1, "射击游戏", "枪林弹雨，考验反应与准星。"}, Category{2, "角色扮演", "在宏大的世界里书写自己的传奇。"},
    Category{3, "动作游戏", "拳拳到肉，连招爽快。"},       Category{4, "即时战略", "运筹帷幄，指挥千军万马。"},
    Category{5, "策略战棋", "一步一谋，回合之间定胜负。"}, Category{6, "体育竞技", "绿茵、球场与雪道上的较量。"},
    Category{7, "赛车竞速", "油门踩到底，弯道见真章。"},   Category{8, "模拟经营", "经营农场、小镇与餐厅的乐趣。"},
    Category{9, "桌面棋牌", "棋牌经典，随时来一局。"},     Category{10, "音乐游戏", "跟着节拍，指尖起舞。"},
    Category{11, "休闲益智", "轻松上手，越玩越聪明。"},    Category{12, "解谜冒险", "探索未知，解开层层谜题。"},
};

constexpr std::array kGames = {
    Game{101, 1, "钢铁防线", "gangtie-fangxian", Size(186, 40123), "坚守最后一道防线，抵御一波又一波的进攻。"},
    Game{102, 1, "荒漠突围", "huangmo-tuwei", Size(92, 311777), "孤身深入沙漠腹地，带领小队杀出重围。"},
    Game{103, 1, "星际猎手", "xingji-lieshou", Size(254, 7301), "驾驶战机穿梭星海，追捕银河通缉犯。"},
    Game{104, 1, "夜鹰行动", "yeying-xingdong", Size(48, 52009), "夜色掩护下的潜入任务，一枪定胜负。"},
    Game{201, 2, "青云剑侠传", "qingyun-jianxia", Size(388, 120001), "拜入青云门下，仗剑江湖，快意恩仇。"},
    Game{202, 2, "龙脉传说", "longmai-chuanshuo", Size(276, 9999), "寻找失落的龙脉，揭开王朝覆灭之谜。"},
    Game{203, 2, "幻月之城", "huanyue-zhicheng", Size(143, 65537), "月光下的城邦藏着魔法与阴谋。"},
    Game{301, 3, "铁拳风暴", "tiequan-fengbao", Size(122, 4096 + 17), "街头格斗之王的争夺战，连招随心。"},
    Game{302, 3, "忍者疾影", "renzhe-jiying", Size(37, 1234), "身轻如燕的忍者，在屋檐间穿梭杀敌。"},
    Game{303, 3, "机甲狂潮", "jijia-kuangchao", Size(205, 777777), "操控巨型机甲，横扫废墟都市。"},
    Game{401, 4, "烽火三国", "fenghuo-sanguo", Size(318, 23), "逐鹿中原，三分天下谁主沉浮。"},
    Game{402, 4, "帝国黎明", "diguo-liming", Size(264, 880011), "从部落到帝国，建造属于你的文明。"},
    Game{403, 4, "钢铁洪流", "gangtie-hongliu", Size(171, 31415), "装甲集群正面对决，资源与速度并重。"},
    Game{501, 5, "英雄纹章录", "yingxiong-wenzhang", Size(84, 2718), "率领骑士团在棋盘般的战场上步步为营。"},
    Game{502, 5, "天下布局", "tianxia-buju", Size(56, 16180), "合纵连横，用计谋而非兵力取胜。"},
    Game{503, 5, "战国风云", "zhanguo-fengyun", Size(133, 4242), "七雄并立，回合之间定兴亡。"},
    Game{601, 6, "绿茵豪门", "lvyin-haomen", Size(297, 100003), "执掌豪门球队，冲击联赛冠军。"},
    Game{602, 6, "篮球巨星", "lanqiu-juxing", Size(158, 50505), "从街头球场一路打进职业联赛。"},
    Game{603, 6, "极限滑雪", "jixian-huaxue", Size(66, 8191), "雪山之巅，挑战极限速度与特技。"},
    Game{701, 7, "极速狂飙", "jisu-kuangbiao", Size(342, 65521), "顶级跑车在城市夜色中极速狂飙。"},
    Game{702, 7, "山道漂移", "shandao-piaoyi", Size(118, 333), "盘山公路上的漂移对决，毫厘之间。"},
    Game{703, 7, "街头车神", "jietou-cheshen", Size(77, 90001), "改装爱车，赢下每一场街头赛。"},
    Game{801, 8, "开心农庄", "kaixin-nongzhuang", Size(42, 12345), "种菜养鸡，经营属于自己的田园。"},
    Game{802, 8, "梦想小镇", "mengxiang-xiaozhen", Size(96, 54321), "规划道路与街区，让小镇日渐繁华。"},
    Game{803, 8, "美食大亨", "meishi-daheng", Size(29, 2023), "从路边小摊做起，开遍全城的连锁餐厅。"},
    Game{901, 9, "欢乐斗地主", "huanle-doudizhu", Size(12, 501), "经典斗地主，抢地主、出王炸。"},
    Game{902, 9, "象棋大师", "xiangqi-dashi", Size(8, 88), "楚河汉界，与高手对弈百局。"},
    Game{903, 9, "麻将乐园", "majiang-leyuan", Size(15, 2), "多种地方玩法，轻松胡牌。"},
    Game{1001, 10, "节奏大师", "jiezou-dashi", Size(64, 4321), "跟随节拍点击，挑战全连击。"},
    Game{1002, 10, "指尖旋律", "zhijian-xuanlv", Size(33, 1111), "钢琴与电音交织的指尖演奏。"},
    Game{1003, 10, "舞动青春", "wudong-qingchun", Size(88, 6060), "随音乐起舞，舞步由你掌控。"},
    Game{1101, 11, "泡泡龙传奇", "paopaolong", Size(6, 7070), "瞄准、发射、消除，同色三个就消失。"},
    Game{1102, 11, "连连看", "lianliankan", Size(4, 512), "找出相同的图案，在限时内全部连完。"},
    Game{1103, 11, "宝石迷阵", "baoshi-mizhen", Size(11, 3030), "交换宝石，连成一线即可消除。"},
    Game{1104, 11, "方块消消乐", "fangkuai-xiaoxiaole", Size(5, 999), "下落的方块填满一行即可消除。"},
    Game{1201, 12, "古墓谜踪", "gumu-mizong", Size(226, 4444), "深入千年古墓，机关与谜题步步惊心。"},
    Game{1202, 12, "密室逃脱", "mishi-taotuo", Size(19, 1919), "搜寻线索，在时间耗尽前逃出房间。"},
    Game{1203, 12, "时光之钥", "shiguang-zhiyao", Size(57, 5757), "穿越过去与未来，修补断裂的时间线。"},
};

}  // namespace

std::span<const Category> Categories() {
    return kCategories;
}
std::span<const Game> Games() {
    return kGames;
}

const Category* FindCategory(int number) {
    for (const Category& category : kCategories) {
        if (category.number == number) {
            return &category;
        }
    }
    return nullptr;
}

const Game* FindGame(int id) {
    for (const Game& game : kGames) {
        if (game.id == id) {
            return &game;
        }
    }
    return nullptr;
}

std::string CategoryPath(int number) {
    char path[32];
    std::snprintf(path, sizeof path, "/dispenseUrl/%02d.htm", number);
    return path;
}

std::string GamePagePath(const Game& game) {
    return "/game/" + std::to_string(game.id) + ".htm";
}

std::string GameFilePath(const Game& game) {
    return "/files/" + std::to_string(game.id) + "/" + std::string(game.slug) + ".zip";
}

}  // namespace tarvane::demo
